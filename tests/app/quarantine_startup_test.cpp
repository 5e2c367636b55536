// Start-up rebuilds the quarantine from the stored messages and applies the time limit at
// once: a held sender whose request went out longer ago than the limit is rejected before
// the first mail check, one still within it keeps waiting under its stored request.
#include <signal.h>

#include <string>

#include <gtest/gtest.h>

#include "app/startup.h"
#include "pelrion_process.h"
#include "platform/clock.h"
#include "stores_fixture.h"

namespace pelrion::apptest {
namespace {

constexpr std::int32_t kDay = 86400;

struct StoredMessage {
  std::uint32_t id = 0;
  std::int32_t request_number = 0;
};

TEST(PelrionQuarantineStartupTest, ExpiresOverdueRequestsAndKeepsTheOthersHeld) {
  const std::string root = MakeTempRoot();
  SandboxHome home(root);
  {  // A first run creates the folders and the database files.
    PelrionProcess first(home, root + "/first.stderr");
    ASSERT_TRUE(first.WaitForOutput(std::string(app::kStageListeners))) << first.Output();
    first.Signal(SIGTERM);
    ASSERT_EQ(first.Wait(), 0) << first.Output();
  }

  const std::int32_t now = static_cast<std::int32_t>(platform::Now());
  StoredMessage overdue;
  StoredMessage waiting;
  StoredMessage unsent;
  {
    StoresFixture fixture(home.DatabaseFolder());
    const std::uint32_t account = AddAccount(fixture.stores);
    const auto hold = [&](const std::string& sender, std::int32_t number, std::int32_t sent) {
      return StoredMessage{FileMessage(fixture.stores, account, sender, 0, number, sent)->id,
                           number};
    };
    // The default limit is 5 days.
    overdue = hold("late@example.com", 12345, now - 6 * kDay);
    waiting = hold("recent@example.com", 23456, now - kDay);
    unsent = hold("new@example.com", 34567, 0);
  }

  PelrionProcess pelrion(home, root + "/second.stderr");
  ASSERT_TRUE(pelrion.WaitForOutput(std::string(app::kStageListeners))) << pelrion.Output();
  pelrion.Signal(SIGTERM);
  ASSERT_EQ(pelrion.Wait(), 0) << pelrion.Output();

  StoresFixture after(home.DatabaseFolder());
  const store::MessageRecord* expired = after.stores.messages->Find(overdue.id);
  ASSERT_NE(expired, nullptr);
  EXPECT_EQ(expired->status, 3);
  EXPECT_EQ(expired->folder(), store::Folder::kJunkMail);

  for (const StoredMessage& kept : {waiting, unsent}) {
    const store::MessageRecord* record = after.stores.messages->Find(kept.id);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->folder(), store::Folder::kQuarantine);
    // Rebuilt from the records: no new request was drawn.
    EXPECT_EQ(record->request_number, kept.request_number);
  }
}

}  // namespace
}  // namespace pelrion::apptest
