// The stores of one database folder opened through OpenStores, as the program opens them,
// with the few ways the app tests fill them.
#pragma once

#include <cstdint>
#include <string>

#include "app/stores.h"
#include "core/preferences.h"
#include "platform/main_thread.h"
#include "store/message_record.h"

namespace pelrion::apptest {

// What the tests give OpenStores: every listener port counts as free.
app::StoreSetup TestStoreSetup(const std::string& database_folder,
                               const core::Preferences& preferences,
                               platform::MainThread& main_thread);

// A new account with POP3 and SMTP listeners on servers of its own (server_port tells
// accounts apart); its id.
std::uint32_t AddAccount(app::Stores& stores, std::uint32_t server_port = 1000);

// What a filed test message says beyond its sender.
struct MessageFields {
  std::string subject = "hi";
  std::int32_t received = 0;  // the download time
  std::int32_t sent = 0;      // the Date header's time (mailformat::kNoDate: none)
};

// A message of sender filed with these flags (0: Quarantine). A held message is stored with
// this request number and the time its request went out (0: not yet), as the next start
// finds it.
store::MessageRecord* FileMessage(app::Stores& stores, std::uint32_t account,
                                  const std::string& sender, std::uint32_t flags,
                                  std::int32_t request_number = 0,
                                  std::int32_t request_sent = 0,
                                  const MessageFields& fields = {});

// Owns what the stores need besides their folder.
struct StoresFixture {
  explicit StoresFixture(const std::string& database_folder) {
    app::OpenStores(stores, TestStoreSetup(database_folder, preferences, main_thread));
  }

  core::Preferences preferences;
  platform::PlainMainThread main_thread;
  app::Stores stores;
};

}  // namespace pelrion::apptest
