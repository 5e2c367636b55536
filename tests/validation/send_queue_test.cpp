#include "validation/send_queue.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <vector>

#include "platform/clock.h"
#include "validation/quarantine_world.h"

namespace pelrion::validation {
namespace {

using testing::QuarantineWorld;

class SendQueueTest : public ::testing::Test {
 protected:
  SendQueueTest() {
    for (int i = 0; i < 3; ++i) account_.push_back(world_.AddAccount("me@home.example"));
  }
  ~SendQueueTest() override {
    ReleaseSendQueue(queue_, Stores());
    platform::SetNowForTesting(std::nullopt);
  }

  SendQueueStores Stores() {
    return SendQueueStores{*world_.messages, *world_.accounts, *world_.listeners};
  }

  int AccountRefs(std::uint32_t id) {
    store::MailAccount* account = world_.accounts->FindAccount(id);
    const int refs = account->ref_count - 1;  // less the one taken to look
    world_.accounts->ReleaseAccount(account);
    return refs;
  }
  int ListenerRefs(std::uint32_t id) {
    store::Listener* listener = world_.listeners->FindListener(id);
    const int refs = listener->ref_count - 1;
    world_.listeners->ReleaseListener(listener);
    return refs;
  }
  std::uint32_t SmtpListenerOf(std::uint32_t account_id) {
    return world_.accounts->CopyOf(account_id)->smtp_listener_id;
  }

  QuarantineWorld world_;
  std::vector<std::uint32_t> account_;
  SendQueue queue_;
};

TEST_F(SendQueueTest, OneGroupPerAccountWithTheUnsentRepresentatives) {
  // Filed in an order that does not follow the accounts, to see the groups sorted.
  store::MessageRecord* c1 = world_.FileHeld(account_[2], "c@x", 0x500);
  store::MessageRecord* c2 = world_.FileHeld(account_[2], "c@x", 0x100);  // represents c@x
  store::MessageRecord* a = world_.FileHeld(account_[1], "a@x");
  store::MessageRecord* sent = world_.FileHeld(account_[1], "b@x");
  store::MessageRecord* d = world_.FileHeld(account_[0], "d@x");
  world_.quarantine->RequestDelivered("b@x");

  ASSERT_TRUE(BuildSendQueue(queue_, *world_.list, Stores()));
  ASSERT_EQ(queue_.groups.size(), 3u);
  const std::vector<std::vector<store::MessageRecord*>> want_messages = {{d}, {a}, {c2}};
  for (std::size_t i = 0; i < queue_.groups.size(); ++i) {
    SCOPED_TRACE(i);
    const SendGroup& group = queue_.groups[i];
    EXPECT_EQ(group.account->id, account_[i]);
    EXPECT_EQ(group.smtp_listener->id, SmtpListenerOf(account_[i]));
    EXPECT_EQ(group.smtp_listener->protocol, store::ListenerProtocol::kSmtp);
    EXPECT_EQ(group.messages, want_messages[i]);
    EXPECT_EQ(AccountRefs(account_[i]), 2);
    EXPECT_EQ(ListenerRefs(SmtpListenerOf(account_[i])), 2);
  }
  // One extra reference on each queued message, none on the others.
  const std::map<store::MessageRecord*, int> want_references = {
      {c1, 1}, {c2, 2}, {a, 2}, {sent, 1}, {d, 2}};
  for (const auto& [message, references] : want_references) {
    EXPECT_EQ(message->references, references) << message->summary.sender_address();
  }

  ReleaseSendQueue(queue_, Stores());
  EXPECT_TRUE(queue_.groups.empty());
  for (const auto& [message, references] : want_references) EXPECT_EQ(message->references, 1);
  for (std::uint32_t id : account_) {
    EXPECT_EQ(AccountRefs(id), 1);
    EXPECT_EQ(ListenerRefs(SmtpListenerOf(id)), 1);
  }
}

TEST_F(SendQueueTest, NothingDueGivesNoGroups) {
  struct Row {
    const char* name;
    bool file_held;
    bool deliver;
  };
  for (const Row& row :
       {Row{"empty quarantine", false, false}, Row{"every request sent", true, true}}) {
    SCOPED_TRACE(row.name);
    if (row.file_held) world_.FileHeld(account_[0], "a@x");
    if (row.deliver) world_.quarantine->RequestDelivered("a@x");
    EXPECT_FALSE(BuildSendQueue(queue_, *world_.list, Stores()));
    EXPECT_TRUE(queue_.groups.empty());
    EXPECT_EQ(AccountRefs(account_[0]), 1);
  }
}

TEST_F(SendQueueTest, RebuildingGivesBackTheOldReferencesFirst) {
  store::MessageRecord* a = world_.FileHeld(account_[0], "a@x");
  ASSERT_TRUE(BuildSendQueue(queue_, *world_.list, Stores()));
  ASSERT_TRUE(BuildSendQueue(queue_, *world_.list, Stores()));
  EXPECT_EQ(a->references, 2);
  EXPECT_EQ(AccountRefs(account_[0]), 2);
  EXPECT_EQ(queue_.groups.size(), 1u);
}

TEST_F(SendQueueTest, MessageDeletedWhileQueuedGoesWhenTheQueueLetsGo) {
  store::MessageRecord* a = world_.FileHeld(account_[0], "a@x");
  const std::string path = world_.MessageFile(*a);
  ASSERT_TRUE(BuildSendQueue(queue_, *world_.list, Stores()));
  store::MessageRecord* doomed[] = {a};
  world_.messages->DeleteMessages(doomed, /*keep_if_busy=*/true);
  // The send thread may still read it.
  EXPECT_EQ(world_.messages->size(), 0u);
  EXPECT_EQ(world_.messages->pending_count(), 1u);
  EXPECT_EQ(queue_.groups[0].messages[0]->summary.sender_address(), "a@x");

  ReleaseSendQueue(queue_, Stores());
  EXPECT_EQ(world_.messages->pending_count(), 0u);
  EXPECT_FALSE(std::ifstream(path).good());
}

}  // namespace
}  // namespace pelrion::validation
