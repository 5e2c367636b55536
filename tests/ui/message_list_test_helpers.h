// Real stores in a temporary database folder with a message list model as their view, and
// the ways the list tests file messages into them.
#pragma once

#include <cstdint>
#include <string>

#include "app/stores.h"
#include "core/preferences.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/message_record.h"
#include "support/temp_dir.h"
#include "ui/message_list_model.h"

namespace pelrion::ui::list_testing {

// What one test message holds; the store learns only these fields.
struct Message {
  std::string from = {};
  std::string subject = {};
  std::string to = {};
  std::uint32_t flags = 0;  // folder bits and read flag; 0: unread in Quarantine
  std::int32_t status = 0;
  mailformat::Timestamp sent = mailformat::kNoDate;
  mailformat::Timestamp received = mailformat::kNoDate;
  std::uint32_t body_bytes = 10;  // the file size follows from it
  bool attachment = false;
  std::int32_t request_sent = 0;
  std::uint32_t view_state = 0;
};

class ListWorld {
 public:
  ListWorld();
  ~ListWorld();

  // A new mail account with this friendly name; its id.
  std::uint32_t AddAccount(const std::string& friendly_name);
  // Files message through the store (the model hears of it as it would at run time).
  store::MessageRecord* File(std::uint32_t account, const Message& message);
  // Files a message file of tests/fixtures (path below it) the way a download does: scanned
  // into its part table and analysed into its summary; then placed in folder with status.
  store::MessageRecord* FileFixture(std::uint32_t account, const std::string& fixture,
                                    std::uint32_t flags, std::int32_t status);

  app::Stores& stores() { return stores_; }
  store::MessageTable& messages() { return *stores_.messages; }
  MessageListModel& model() { return model_; }
  std::string folder() const { return dir_.path() + "/"; }

 private:
  test_support::TempDir dir_;
  core::Preferences preferences_;
  platform::PlainMainThread main_thread_;
  platform::MemoryRegistry registry_;
  store::NoListenerControl listener_control_;
  store::NoStatusNotices status_notices_;
  MessageListModel model_;
  app::Stores stores_;
  std::uint32_t next_port_ = 1000;
};

}  // namespace pelrion::ui::list_testing
