// A small world of real stores in a private database folder for the validation tests: the
// listener, account, address-list, trusted-domain, message and digest tables with their
// PendingSenderList and Quarantine, opened through the program's own OpenStores. Restart()
// drops everything and loads it again from the same folder, as the next start does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/stores.h"
#include "core/preferences.h"
#include "platform/main_thread.h"
#include "store/folders_view.h"
#include "store/listener_control.h"
#include "store/status_notices.h"
#include "support/temp_dir.h"

namespace pelrion::validation::testing {

// The classic rand(): state * 214013 + 2531011, bits 16..30. Written out here, apart from
// the program's generator, so expected request numbers are computed independently.
class ReferenceRand {
 public:
  explicit ReferenceRand(std::uint32_t seed) : state_(seed) {}
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }
  // ((r1 & 0xFFFF) << 16) | (r2 & 0xFFFF) of two successive draws.
  std::int64_t NextPair() {
    const std::int64_t high = Next() & 0xFFFF;
    const std::int64_t low = Next() & 0xFFFF;
    return (high << 16) | low;
  }

 private:
  std::uint32_t state_;
};

// Remembers which records the message list was asked to redraw.
class RecordingView : public store::FoldersView {
 public:
  void MessageLinked(store::MessageRecord&, store::Folder) override {}
  void MessageUnlinked(store::MessageRecord&, store::Folder) override {}
  void MessageChanged(store::MessageRecord& record) override { changed.push_back(record.id); }
  std::vector<std::uint32_t> changed;
};

class QuarantineWorld {
  // First, so that the stores go before what they refer to.
  test_support::TempDir dir_;
  platform::PlainMainThread main_thread_;
  store::NoListenerControl listener_control_;
  store::NoStatusNotices notices_;
  platform::MemoryRegistry registry_;

 public:
  RecordingView view;  // the message list

  QuarantineWorld();
  ~QuarantineWorld();

  // Everything dropped and loaded again from the database folder; the list rebuilt.
  void Restart();

  // A new account whose e-mail address is email (with its own POP3 and SMTP listeners on
  // distinct servers); returns its id.
  std::uint32_t AddAccount(std::string_view email);

  // A record for a downloaded message from sender (lower case) with its file written, not
  // yet filed. id 0 draws a fresh id from the store.
  std::unique_ptr<store::MessageRecord> NewMessage(std::uint32_t account_id,
                                                   std::string_view sender, std::uint32_t id = 0,
                                                   std::string_view display_name = "");
  // NewMessage classified as an unknown sender's (status 1, Quarantine) and filed.
  store::MessageRecord* FileHeld(std::uint32_t account_id, std::string_view sender,
                                 std::uint32_t id = 0, std::string_view display_name = "");

  std::string folder() const { return dir_.path() + "/"; }
  std::string MessageFile(const store::MessageRecord& record) const;

  core::Preferences preferences;
  app::Stores stores;
  // The stores by the names the tests use.
  std::unique_ptr<store::ListenerTable>& listeners = stores.listeners;
  std::unique_ptr<store::AccountTable>& accounts = stores.accounts;
  std::unique_ptr<store::AddressListTable>& address_lists = stores.address_lists;
  std::unique_ptr<store::TrustedDomainList>& trusted_domains = stores.trusted_domains;
  std::unique_ptr<store::MessageTable>& messages = stores.messages;
  std::unique_ptr<store::DuplicateDigestTable>& digests = stores.digests;
  std::unique_ptr<PendingSenderList>& list = stores.pending_senders;
  std::unique_ptr<Quarantine>& quarantine = stores.quarantine;

 private:
  std::uint32_t next_server_port_ = 1000;
};

}  // namespace pelrion::validation::testing
