// Start-up rebuilds the quarantine from the stored messages and applies the time limit at
// once: a held sender whose request went out longer ago than the limit is rejected before
// the first mail check, one still within it keeps waiting under its stored request.
#include <signal.h>

#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/startup.h"
#include "pelrion_process.h"
#include "platform/clock.h"
#include "platform/main_thread.h"
#include "store/account_table.h"
#include "store/listener_table.h"
#include "store/message_table.h"

namespace pelrion::apptest {
namespace {

constexpr std::int32_t kDay = 86400;

struct StoredMessage {
  std::uint32_t id = 0;
  std::int32_t request_number = 0;
};

// The stores of one database folder, opened the way the program opens them.
class Stores {
 public:
  explicit Stores(const std::string& db) {
    listeners = std::make_unique<store::ListenerTable>(db, main_thread_, no_control_, no_notices_,
                                                       [](std::uint32_t) { return true; });
    listeners->Load();
    accounts = std::make_unique<store::AccountTable>(db, *listeners, main_thread_, no_notices_);
    accounts->Load();
    // No quarantine: the messages are stored with the request fields the test gives them.
    messages = std::make_unique<store::MessageTable>(db, *accounts, no_quarantine_, no_view_);
    messages->Load();
  }

  std::uint32_t AddAccount() {
    store::MailAccount fields;
    fields.pop3_listener_id = listeners->FindOrCreateListener(
        "pop.example.org", 110, store::ListenerProtocol::kPop3, /*start=*/false);
    fields.smtp_listener_id = listeners->FindOrCreateListener(
        "smtp.example.org", 25, store::ListenerProtocol::kSmtp, /*start=*/false);
    fields.email_address.Set("user@example.org");
    fields.friendly_name.Set("user");
    return accounts->AddAccount(fields);
  }

  // A Quarantine message of sender whose request (number) went out at sent (0: not yet).
  StoredMessage Hold(std::uint32_t account, const std::string& sender, std::int32_t number,
                     std::int32_t sent) {
    auto record = std::make_unique<store::MessageRecord>();
    messages->CreateMessageFile(*record);
    const std::string text = "From: " + sender + "\r\nSubject: hi\r\n\r\nbody\r\n";
    std::ofstream(messages->MessageFilePath(*record), std::ios::binary) << text;
    record->account_id = account;
    record->summary.header_length = static_cast<std::int32_t>(text.find("\r\n\r\n") + 4);
    record->summary.file_size = static_cast<std::uint32_t>(text.size());
    record->summary.has_strings = true;
    record->summary.sender_address = sender;
    record->request_number = number;
    record->request_sent_time = sent;
    record->status = sent != 0 ? 2 : 1;
    store::MessageRecord* filed = messages->RegisterMessage(std::move(record));
    EXPECT_NE(filed, nullptr);
    return {filed->id, number};
  }

  platform::PlainMainThread main_thread_;
  store::NoListenerControl no_control_;
  store::NoStatusNotices no_notices_;
  store::HeldMessages no_quarantine_;
  store::NoFoldersView no_view_;
  std::unique_ptr<store::ListenerTable> listeners;
  std::unique_ptr<store::AccountTable> accounts;
  std::unique_ptr<store::MessageTable> messages;
};

TEST(PelrionQuarantineStartupTest, ExpiresOverdueRequestsAndKeepsTheOthersHeld) {
  const std::string root = MakeTempRoot();
  SandboxHome home(root);
  {  // A first run creates the folders and the database files.
    PelrionProcess first(home, root + "/first.stderr");
    ASSERT_TRUE(first.WaitForOutput(std::string(core::kStageListeners))) << first.Output();
    first.Signal(SIGTERM);
    ASSERT_EQ(first.Wait(), 0) << first.Output();
  }

  const std::int32_t now = static_cast<std::int32_t>(platform::Now());
  StoredMessage overdue;
  StoredMessage waiting;
  StoredMessage unsent;
  {
    Stores stores(home.DatabaseFolder());
    const std::uint32_t account = stores.AddAccount();
    // The default limit is 5 days.
    overdue = stores.Hold(account, "late@example.com", 12345, now - 6 * kDay);
    waiting = stores.Hold(account, "recent@example.com", 23456, now - kDay);
    unsent = stores.Hold(account, "new@example.com", 34567, 0);
  }

  PelrionProcess pelrion(home, root + "/second.stderr");
  ASSERT_TRUE(pelrion.WaitForOutput(std::string(core::kStageListeners))) << pelrion.Output();
  pelrion.Signal(SIGTERM);
  ASSERT_EQ(pelrion.Wait(), 0) << pelrion.Output();

  Stores after(home.DatabaseFolder());
  const store::MessageRecord* expired = after.messages->Find(overdue.id);
  ASSERT_NE(expired, nullptr);
  EXPECT_EQ(expired->status, 3);
  EXPECT_EQ(expired->folder(), store::Folder::kJunkMail);

  for (const StoredMessage& kept : {waiting, unsent}) {
    const store::MessageRecord* record = after.messages->Find(kept.id);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->folder(), store::Folder::kQuarantine);
    // Rebuilt from the records: no new request was drawn.
    EXPECT_EQ(record->request_number, kept.request_number);
  }
}

}  // namespace
}  // namespace pelrion::apptest
