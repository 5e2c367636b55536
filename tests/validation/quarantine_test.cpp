#include "validation/quarantine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "store/folders_view.h"
#include "validation/message_status.h"
#include "validation/quarantine_world.h"

namespace pelrion::validation {
namespace {

using store::Folder;
using testing::QuarantineWorld;
using testing::RecordingView;

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kSentAt = 1'700'000'000;
constexpr char kSender[] = "stranger@example.com";

class QuarantineTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetNowForTesting(std::nullopt); }

  // Two held messages of kSender whose request went out at kSentAt. The later arrival has
  // the lower id, so it represents the entry.
  std::vector<store::MessageRecord*> TwoHeldAndSent() {
    std::vector<store::MessageRecord*> held = {
        world_.FileHeld(account_, kSender, 0x2000, "Earlier Arrival"),
        world_.FileHeld(account_, kSender, 0x1000, "Stranger")};
    platform::SetNowForTesting(kSentAt);
    world_.quarantine->RequestDelivered(kSender);
    return held;
  }

  bool Held(std::string_view address) { return world_.list->Find(address) != nullptr; }
  std::uint32_t Lists(std::string_view address) {
    return world_.address_lists->LookupAddress(address, 3);
  }

  QuarantineWorld world_;
  std::uint32_t account_ = world_.AddAccount("me@home.example");
};

TEST_F(QuarantineTest, DeliveredRequestStampsEveryMessageAndRedrawsIt) {
  store::MessageRecord* a = world_.FileHeld(account_, kSender);
  store::MessageRecord* b = world_.FileHeld(account_, kSender);
  store::MessageRecord* other = world_.FileHeld(account_, "other@example.com");
  RecordingView& view = world_.view;
  view.changed.clear();
  platform::SetNowForTesting(kSentAt);

  world_.quarantine->RequestDelivered("nobody@example.com");  // ignored
  world_.quarantine->RequestDelivered(kSender);
  for (store::MessageRecord* message : {a, b}) {
    EXPECT_EQ(message->request_sent_time, kSentAt);
    EXPECT_EQ(message->status, kStatusAwaitingReply);
    EXPECT_EQ(message->folder(), Folder::kQuarantine);
  }
  EXPECT_EQ(other->request_sent_time, 0);
  EXPECT_EQ(other->status, kStatusAwaitingRequest);
  EXPECT_TRUE(Held(kSender));
  std::vector<std::uint32_t> changed = view.changed;
  std::sort(changed.begin(), changed.end());
  std::vector<std::uint32_t> want = {a->id, b->id};
  std::sort(want.begin(), want.end());
  EXPECT_EQ(changed, want);
}

// ---- Refusals and bounces ----

struct RejectRow {
  const char* name;
  enum { kRefused, kBounced } event;
  int number_offset;  // added to the entry's request number (bounces)
  std::uint32_t junk;
  bool want_rejected;
  Folder want_folder;
};

class RejectTest : public QuarantineTest, public ::testing::WithParamInterface<RejectRow> {};

TEST_P(RejectTest, RejectsEveryHeldMessageOfTheSender) {
  const RejectRow& row = GetParam();
  world_.preferences.junk = row.junk;
  std::vector<store::MessageRecord*> held = TwoHeldAndSent();
  store::MessageRecord* bystander = world_.FileHeld(account_, "other@example.com");
  const std::int32_t number = held[0]->request_number + row.number_offset;

  if (row.event == RejectRow::kRefused) {
    world_.quarantine->RequestRefused(kSender);
  } else {
    world_.quarantine->RequestBounced(kSender, number);
  }
  for (store::MessageRecord* message : held) {
    EXPECT_EQ(message->status, row.want_rejected ? kStatusRequestFailed : kStatusAwaitingReply);
    EXPECT_EQ(message->folder(), row.want_folder);
  }
  EXPECT_EQ(Held(kSender), !row.want_rejected);
  EXPECT_EQ(bystander->folder(), Folder::kQuarantine);
  EXPECT_TRUE(Held("other@example.com"));
}

void PrintTo(const RejectRow& row, std::ostream* os) {
  *os << row.name;
}

const RejectRow kRejectRows[] = {
    {"refused_to_junk_mail", RejectRow::kRefused, 0, 1, true, Folder::kJunkMail},
    {"refused_to_trash", RejectRow::kRefused, 0, 0, true, Folder::kTrash},
    {"bounced_to_junk_mail", RejectRow::kBounced, 0, 1, true, Folder::kJunkMail},
    {"bounced_to_trash", RejectRow::kBounced, 0, 0, true, Folder::kTrash},
    {"bounce_with_other_number_ignored", RejectRow::kBounced, 1, 1, false, Folder::kQuarantine},
};

INSTANTIATE_TEST_SUITE_P(Outcomes, RejectTest, ::testing::ValuesIn(kRejectRows),
                         [](const ::testing::TestParamInfo<RejectRow>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(QuarantineTest, OutcomesForUnknownAddressesChangeNothing) {
  std::vector<store::MessageRecord*> held = TwoHeldAndSent();
  const std::int32_t number = held[0]->request_number;
  // Exact address bytes only: another case is another address.
  world_.quarantine->RequestRefused("STRANGER@example.com");
  world_.quarantine->RequestBounced("nobody@example.com", number);
  world_.quarantine->AuthorizationReplyReceived("nobody@example.com", number, "");
  EXPECT_TRUE(Held(kSender));
  for (store::MessageRecord* message : held) EXPECT_EQ(message->folder(), Folder::kQuarantine);
  EXPECT_EQ(world_.address_lists->size(), 0u);
}

// ---- Replies ----

struct ReplyRow {
  const char* name;
  std::uint32_t method;
  int number_offset;
  // The reply text, given the entry's code as decimal text.
  std::string (*text)(const std::string& code);
  bool blacklist_first;
  bool want_released;
};

class ReplyTest : public QuarantineTest, public ::testing::WithParamInterface<ReplyRow> {};

TEST_P(ReplyTest, ValidReplyTrustsTheSenderAndReleasesEverything) {
  const ReplyRow& row = GetParam();
  world_.preferences.method = row.method;
  std::vector<store::MessageRecord*> held = TwoHeldAndSent();
  store::MessageRecord& first = *world_.list->Find(kSender)->messages.front();
  if (row.blacklist_first) world_.address_lists->AddContact("", {kSender}, store::kBlackList);
  const std::string text = row.text(std::to_string(first.authorization_code));

  world_.quarantine->AuthorizationReplyReceived(kSender, first.request_number + row.number_offset,
                                                text);
  for (store::MessageRecord* message : held) {
    EXPECT_EQ(message->status, row.want_released ? kStatusAuthorized : kStatusAwaitingReply);
    EXPECT_EQ(message->folder(), row.want_released ? Folder::kInbox : Folder::kQuarantine);
  }
  EXPECT_EQ(Held(kSender), !row.want_released);
  if (row.want_released) {
    EXPECT_EQ(Lists(kSender), 1u);
    const store::Contact* contact = world_.address_lists->FindByAddress(kSender);
    ASSERT_NE(contact, nullptr);
    EXPECT_EQ(contact->blob.name, "Stranger");
  } else {
    EXPECT_EQ(Lists(kSender), row.blacklist_first ? 2u : 0u);
  }
}

void PrintTo(const ReplyRow& row, std::ostream* os) {
  *os << row.name;
}

const ReplyRow kReplyRows[] = {
    {"reply_method_right_number", 0, 0, [](const std::string&) { return std::string(); }, false,
     true},
    {"reply_method_wrong_number", 0, 1, [](const std::string&) { return std::string(); }, false,
     false},
    {"captcha_code_in_text", 1, 0,
     [](const std::string& code) { return "> the code was\r\n  " + code + " thanks\r\n"; }, false,
     true},
    {"captcha_code_missing", 1, 0, [](const std::string&) { return std::string("no code here"); },
     false, false},
    {"captcha_code_cut_short", 1, 0,
     [](const std::string& code) { return code.substr(0, 5) + " " + code.substr(5); }, false,
     false},
    {"captcha_code_with_wrong_number", 1, -1, [](const std::string& code) { return code; }, false,
     false},
    {"blacklisted_after_request", 0, 0, [](const std::string&) { return std::string(); }, true,
     false},
    {"blacklisted_after_request_with_code", 1, 0, [](const std::string& code) { return code; },
     true, false},
};

INSTANTIATE_TEST_SUITE_P(Replies, ReplyTest, ::testing::ValuesIn(kReplyRows),
                         [](const ::testing::TestParamInfo<ReplyRow>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(QuarantineTest, ReplyOfAnApprovedSenderReleasesTheRemainingMessages) {
  std::vector<store::MessageRecord*> held = TwoHeldAndSent();
  store::MessageRecord* representative = held[1];  // lowest id
  store::MessageRecord* remaining = held[0];
  const std::int32_t number = representative->request_number;
  // Approve Sender: the contact is made and the chosen message moved by hand; here the one
  // that represented the entry, so the other one now stands for the same request.
  world_.address_lists->AddContact("Chosen Name", {kSender}, store::kTrustedContactsList);
  store::MessageRecord* moved[] = {representative};
  world_.messages->MoveMessages(moved, Folder::kInbox);
  EXPECT_EQ(representative->status, kStatusUnassigned);
  EXPECT_EQ(remaining->folder(), Folder::kQuarantine);
  ASSERT_TRUE(Held(kSender));

  world_.quarantine->AuthorizationReplyReceived(kSender, number, "");
  EXPECT_EQ(representative->status, kStatusUnassigned);  // the user's move stands
  EXPECT_EQ(remaining->status, kStatusAuthorized);
  EXPECT_EQ(remaining->folder(), Folder::kInbox);
  EXPECT_FALSE(Held(kSender));
  // The existing contact is kept as it was.
  EXPECT_EQ(world_.address_lists->size(), 1u);
  EXPECT_EQ(world_.address_lists->FindByAddress(kSender)->blob.name, "Chosen Name");
}

// ---- Moves and deletions by hand ----

TEST_F(QuarantineTest, ManualMoveReleasesOnlyTheMovedMessage) {
  struct Row {
    const char* name;
    Folder target;
  };
  for (const Row& row : {Row{"to inbox", Folder::kInbox}, Row{"to junk mail", Folder::kJunkMail},
                         Row{"to trash", Folder::kTrash}}) {
    SCOPED_TRACE(row.name);
    QuarantineWorld world;
    const std::uint32_t account = world.AddAccount("me@home.example");
    store::MessageRecord* a = world.FileHeld(account, kSender);
    store::MessageRecord* b = world.FileHeld(account, kSender);
    store::MessageRecord* moved[] = {a};
    world.messages->MoveMessages(moved, row.target);
    EXPECT_EQ(a->status, kStatusUnassigned);
    EXPECT_EQ(a->folder(), row.target);
    ASSERT_NE(world.list->Find(kSender), nullptr);
    EXPECT_EQ(world.list->Find(kSender)->messages, std::vector<store::MessageRecord*>{b});
    EXPECT_EQ(b->status, kStatusAwaitingRequest);
  }
}

TEST_F(QuarantineTest, DeletionReleasesAndALaterReplyFindsNothing) {
  std::vector<store::MessageRecord*> held = TwoHeldAndSent();
  const std::int32_t number = held[0]->request_number;
  world_.messages->DeleteMessages(held, /*keep_if_busy=*/true);
  EXPECT_FALSE(Held(kSender));
  EXPECT_TRUE(world_.list->empty());
  world_.quarantine->AuthorizationReplyReceived(kSender, number, "");
  EXPECT_EQ(world_.address_lists->size(), 0u);
  EXPECT_EQ(world_.messages->size(), 0u);
}

// ---- Expiry ----

struct ExpiryRow {
  const char* name;
  std::uint32_t expire_days;
  std::int64_t elapsed;  // seconds since the request went out
  std::uint32_t junk;
  bool want_expired;
  Folder want_folder;
};

class ExpiryTest : public QuarantineTest, public ::testing::WithParamInterface<ExpiryRow> {};

TEST_P(ExpiryTest, ExpiresOnlyStrictlyAfterTheLimit) {
  const ExpiryRow& row = GetParam();
  world_.preferences.expire = row.expire_days;
  world_.preferences.junk = row.junk;
  std::vector<store::MessageRecord*> held = TwoHeldAndSent();
  // A third message joins later: it shows the sent request and shares its fate.
  platform::SetNowForTesting(kSentAt + 2 * kDay);
  held.push_back(world_.FileHeld(account_, kSender));
  EXPECT_EQ(held.back()->status, kStatusAwaitingRequest);

  std::vector<std::int32_t> want_status;
  for (store::MessageRecord* message : held) {
    want_status.push_back(row.want_expired ? kStatusExpired : message->status);
  }

  platform::SetNowForTesting(kSentAt + row.elapsed);
  world_.quarantine->ExpireQuarantine();
  for (std::size_t i = 0; i < held.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(held[i]->status, want_status[i]);
    EXPECT_EQ(held[i]->folder(), row.want_folder);
  }
  EXPECT_EQ(Held(kSender), !row.want_expired);
}

void PrintTo(const ExpiryRow& row, std::ostream* os) {
  *os << row.name;
}

const ExpiryRow kExpiryRows[] = {
    {"five_days_exactly", 5, 5 * kDay, 1, false, Folder::kQuarantine},
    {"five_days_and_a_second_to_junk_mail", 5, 5 * kDay + 1, 1, true, Folder::kJunkMail},
    {"five_days_and_a_second_to_trash", 5, 5 * kDay + 1, 0, true, Folder::kTrash},
    {"one_day_exactly", 1, kDay, 1, false, Folder::kQuarantine},
    {"one_day_and_a_second", 1, kDay + 1, 1, true, Folder::kJunkMail},
    {"year_limit_not_reached", 365, 364 * kDay, 1, false, Folder::kQuarantine},
    {"year_limit_passed", 365, 365 * kDay + 1, 0, true, Folder::kTrash},
    // An out-of-range stored value counts as the default of 5 days.
    {"invalid_limit_means_five_days", 0, 5 * kDay + 1, 1, true, Folder::kJunkMail},
    {"invalid_limit_not_reached", 400, 5 * kDay, 1, false, Folder::kQuarantine},
};

INSTANTIATE_TEST_SUITE_P(Limits, ExpiryTest, ::testing::ValuesIn(kExpiryRows),
                         [](const ::testing::TestParamInfo<ExpiryRow>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(QuarantineTest, ExpiryWalksEveryEntryAndSparesUnsentRequests) {
  // Entries a..e in list order; b and d were never asked, a, c and e were, at different times.
  const char* senders[] = {"a@x", "b@x", "c@x", "d@x", "e@x"};
  for (const char* sender : senders) world_.FileHeld(account_, sender);
  platform::SetNowForTesting(kSentAt);
  world_.quarantine->RequestDelivered("a@x");
  world_.quarantine->RequestDelivered("e@x");
  platform::SetNowForTesting(kSentAt + 3 * kDay);
  world_.quarantine->RequestDelivered("c@x");

  platform::SetNowForTesting(kSentAt + 1000 * kDay);
  world_.preferences.expire = 5;
  world_.quarantine->ExpireQuarantine();
  std::vector<std::string> left;
  for (const PendingSender& entry : world_.list->entries()) left.push_back(entry.address);
  EXPECT_EQ(left, (std::vector<std::string>{"b@x", "d@x"}));
  EXPECT_EQ(world_.messages->Counter(Folder::kJunkMail).messages, 3);
  EXPECT_EQ(world_.messages->Counter(Folder::kQuarantine).messages, 2);
}

TEST_F(QuarantineTest, ResolveFollowsTheJunkPreference) {
  struct Row {
    const char* name;
    bool accept;
    std::uint32_t junk;
    Folder want;
  };
  const Row rows[] = {{"accept", true, 0, Folder::kInbox},
                      {"accept ignores junk", true, 1, Folder::kInbox},
                      {"reject junk on", false, 1, Folder::kJunkMail},
                      {"reject junk off", false, 0, Folder::kTrash}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    world_.preferences.junk = row.junk;
    store::MessageRecord* message = world_.FileHeld(account_, kSender);
    const int quarantined = world_.messages->Counter(Folder::kQuarantine).messages;
    world_.quarantine->ResolveMessage(*message, row.accept);
    EXPECT_EQ(message->folder(), row.want);
    EXPECT_EQ(world_.messages->Counter(Folder::kQuarantine).messages, quarantined - 1);
    // ResolveMessage leaves the entry to its caller.
    world_.list->ReleaseHeldMessage(*message);
  }
}

}  // namespace
}  // namespace pelrion::validation
