// A quarantine interrupted by a restart: the records were saved as they changed, the
// tables are loaded again from the same database folder and the list is rebuilt from them.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/clock.h"
#include "platform/random.h"
#include "validation/message_status.h"
#include "validation/quarantine_world.h"

namespace pelrion::validation {
namespace {

using testing::QuarantineWorld;

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kSentAt = 1'700'000'000;

// What the list holds, by value, so it can be compared across the restart.
struct HeldMessage {
  std::uint32_t id;
  std::int32_t request_number;
  std::int32_t authorization_code;
  std::int32_t request_sent_time;
  std::int32_t status;
  bool operator==(const HeldMessage&) const = default;
};
using Snapshot = std::vector<std::pair<std::string, std::vector<HeldMessage>>>;

Snapshot Take(const PendingSenderList& list) {
  Snapshot snapshot;
  for (const PendingSender& entry : list.entries()) {
    std::vector<HeldMessage> held;
    for (const store::MessageRecord* m : entry.messages) {
      held.push_back(
          {m->id, m->request_number, m->authorization_code, m->request_sent_time, m->status});
    }
    snapshot.emplace_back(entry.address, std::move(held));
  }
  return snapshot;
}

class RestartTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetNowForTesting(std::nullopt); }

  // Three senders through two accounts, CAPTCHA requests; one request sent, one sender's
  // second message joined after that, one message of another sender moved out by hand.
  void FillQuarantine() {
    world_.preferences.method = 1;
    const std::uint32_t first = world_.AddAccount("me@home.example");
    const std::uint32_t second = world_.AddAccount("me@work.example");
    world_.FileHeld(first, "alice@example.com", 0, "Alice");
    world_.FileHeld(second, "bob@example.com");
    world_.FileHeld(second, "bob@example.com");
    store::MessageRecord* moved = world_.FileHeld(first, "carol@example.com");
    world_.FileHeld(first, "carol@example.com");
    platform::SetNowForTesting(kSentAt);
    world_.quarantine->RequestDelivered("alice@example.com");
    platform::SetNowForTesting(kSentAt + kDay);
    world_.FileHeld(first, "alice@example.com");
    store::MessageRecord* out[] = {moved};
    world_.messages->MoveMessages(out, store::Folder::kInbox);
  }

  QuarantineWorld world_;
};

TEST_F(RestartTest, RebuiltListKeepsEntriesNumbersCodesAndTimes) {
  FillQuarantine();
  const Snapshot before = Take(*world_.list);
  ASSERT_EQ(before.size(), 3u);

  // Reseeding makes any draw at load show up as a changed number.
  platform::SeedRand(12345);
  world_.Restart();
  EXPECT_EQ(Take(*world_.list), before);
  for (const PendingSender& entry : world_.list->entries()) {
    for (const store::MessageRecord* message : entry.messages) {
      EXPECT_EQ(message->folder(), store::Folder::kQuarantine);
    }
  }
}

TEST_F(RestartTest, RebuiltListAnswersRepliesAndExpiresAsBefore) {
  FillQuarantine();
  const Snapshot before = Take(*world_.list);
  world_.Restart();

  // A valid reply for bob (CAPTCHA code quoted) releases both of bob's messages.
  const PendingSender* bob = world_.list->Find("bob@example.com");
  ASSERT_NE(bob, nullptr);
  const std::vector<store::MessageRecord*> bobs = bob->messages;
  world_.quarantine->AuthorizationReplyReceived(
      "bob@example.com", bob->first().request_number,
      "code: " + std::to_string(bob->first().authorization_code));
  for (store::MessageRecord* message : bobs) {
    EXPECT_EQ(message->status, kStatusAuthorized);
    EXPECT_EQ(message->folder(), store::Folder::kInbox);
  }

  // alice's request went out before the restart; both of her messages expire together.
  world_.preferences.expire = 5;
  platform::SetNowForTesting(kSentAt + 5 * kDay + 1);
  world_.quarantine->ExpireQuarantine();
  EXPECT_EQ(world_.list->Find("alice@example.com"), nullptr);
  EXPECT_NE(world_.list->Find("carol@example.com"), nullptr);

  // And all of it was saved: a second restart sees only carol still held.
  world_.Restart();
  Snapshot after = Take(*world_.list);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_EQ(after[0], before[2]);
  EXPECT_EQ(world_.messages->Counter(store::Folder::kInbox).messages, 3);  // bob x2, moved
  EXPECT_EQ(world_.messages->Counter(store::Folder::kJunkMail).messages, 2);
}

}  // namespace
}  // namespace pelrion::validation
