#include "validation/message_fate.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "crypto/md5.h"
#include "platform/main_thread.h"
#include "support/files.h"
#include "validation/message_status.h"
#include "validation/quarantine_world.h"

namespace pelrion::validation {
namespace {

using testing::QuarantineWorld;

bool FileExists(const std::string& path) {
  return std::ifstream(path).good();
}

// What the scripted arrival analysis finds, and what its checks answer.
struct Script {
  bool readable = true;
  std::string message_id;
  std::string uidl;
  bool notification = false;
  bool authorization_request = false;
  bool check_consumes = false;
};

struct FateRow {
  const char* name;
  Script script;
  std::vector<std::string> keys_known;  // remembered for the account before the message
  bool account_gone;
  MessageFate want_fate;
  std::vector<std::string> want_calls;  // the steps that ran, in order
  std::int32_t want_status;             // when filed
};

void PrintTo(const FateRow& row, std::ostream* os) {
  *os << row.name;
}

class MessageFateTest : public ::testing::TestWithParam<FateRow> {
 protected:
  MessageFateTest()
      : calls_(main_thread_, *world_.messages, *world_.digests, *world_.accounts),
        account_id_(world_.AddAccount("me@home.example")) {}

  ArrivalChecks Checks(const Script& script) {
    ArrivalChecks checks;
    checks.analyse = [this, script](store::MessageRecord&, ClassificationInput& input,
                                    std::string& message_id) {
      calls_made_.push_back("analyse");
      input.is_authorization_request = script.authorization_request;
      input.report.is_delivery_status_notification = script.notification;
      message_id = script.message_id;
      return script.readable;
    };
    checks.check_bounce = [this, script](store::MessageRecord&, const DeliveryReport&) {
      calls_made_.push_back("bounce");
      return script.check_consumes;
    };
    checks.check_reply = [this, script](store::MessageRecord&) {
      calls_made_.push_back("reply");
      return script.check_consumes;
    };
    return checks;
  }

  ClassificationContext Context() {
    ClassificationContext context;
    context.installation_id = "USR00C0FFEE";
    context.lookup_address = [this](std::string_view address, std::uint32_t mask) {
      return world_.address_lists->LookupAddress(address, mask);
    };
    context.trusted_domains = world_.trusted_domains.get();
    return context;
  }

  platform::PlainMainThread main_thread_;
  QuarantineWorld world_;
  store::MessageCalls calls_;
  std::uint32_t account_id_;
  std::vector<std::string> calls_made_;
};

TEST_P(MessageFateTest, StepsRunInOrderAndDiscardsLeaveNothing) {
  const FateRow& row = GetParam();
  for (const std::string& key : row.keys_known) world_.digests->RememberDigest(account_id_, key);
  const std::size_t digests_before = world_.digests->size();

  auto message = world_.NewMessage(account_id_, "stranger@example.com");
  const std::uint32_t id = message->id;
  const std::string path = world_.MessageFile(*message);
  const std::string text = test_support::ReadFile(path);
  // The POP3 client's record: no digest yet, account id still to be set.
  message->summary.content_digest = {};
  message->account_id = 0;
  store::MailAccount account = *world_.accounts->CopyOf(account_id_);
  if (row.account_gone) account.id = account_id_ + 100;
  auto uidl = [&] {
    calls_made_.push_back("uidl");
    return row.script.uidl;
  };
  const ArrivalChecks checks = Checks(row.script);
  const ClassificationContext context = Context();

  const MessageFate fate =
      DecideMessageFate(std::move(message), path, account, uidl, {checks, context, calls_});
  EXPECT_EQ(fate, row.want_fate);
  EXPECT_EQ(calls_made_, row.want_calls);

  // A key is remembered only for a message that is filed or consumed, never for one the
  // store does not hold (the next check must not drop it as a copy).
  const bool has_key = !row.script.message_id.empty() || !row.script.uidl.empty();
  const bool kept = row.want_fate == MessageFate::kFiled || row.want_fate == MessageFate::kConsumed;
  const bool remembered_now = has_key && kept && row.keys_known.empty();
  EXPECT_EQ(world_.digests->size(), digests_before + (remembered_now ? 1 : 0));
  EXPECT_EQ(MayDeleteFromServer(row.want_fate), kept || row.want_fate == MessageFate::kDuplicate);

  store::MessageRecord* filed = world_.messages->Find(id);
  if (row.want_fate != MessageFate::kFiled) {
    EXPECT_EQ(filed, nullptr);
    EXPECT_FALSE(FileExists(path));
    return;
  }
  ASSERT_NE(filed, nullptr);
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(filed->status, row.want_status);
  EXPECT_EQ(filed->account_id, account_id_);
  EXPECT_EQ(filed->summary.content_digest, crypto::Md5Of(text));
  EXPECT_TRUE(world_.messages->CheckMessageData(*filed));
  // An unknown sender's message is held and has its request drawn.
  const PendingSender* entry = world_.list->Find("stranger@example.com");
  EXPECT_EQ(entry != nullptr, row.want_status == kStatusAwaitingRequest);
  if (entry != nullptr) {
    EXPECT_EQ(entry->messages.front(), filed);
    EXPECT_GE(filed->request_number, 10000);
  }
}

Script Plain(std::string message_id, std::string uidl = "") {
  Script script;
  script.message_id = std::move(message_id);
  script.uidl = std::move(uidl);
  return script;
}
Script Notification(bool consumed) {
  Script script = Plain("<n@relay>");
  script.notification = true;
  script.check_consumes = consumed;
  return script;
}
Script Reply(bool consumed) {
  Script script = Plain("<r@x>");
  script.check_consumes = consumed;
  return script;
}
Script Unreadable() {
  Script script;
  script.readable = false;
  return script;
}
Script AuthorizationRequest() {
  Script script = Plain("<KVX.R-1@other>");
  script.authorization_request = true;
  script.check_consumes = true;  // must not even be asked
  return script;
}

const FateRow kRows[] = {
    {"unknown_sender_filed_and_held",
     Plain("<1@x>"),
     {},
     false,
     MessageFate::kFiled,
     {"analyse", "reply"},
     kStatusAwaitingRequest},
    {"unreadable_header_block", Unreadable(), {}, false, MessageFate::kUnreadable, {"analyse"}, 0},
    {"duplicate_message_id",
     Plain("<1@x>"),
     {"<1@x>"},
     false,
     MessageFate::kDuplicate,
     {"analyse"},
     0},
    {"message_id_trimmed_for_the_key",
     Plain(" \t<1@x> "),
     {"<1@x>"},
     false,
     MessageFate::kDuplicate,
     {"analyse"},
     0},
    {"uidl_key_when_no_message_id",
     Plain("", "UID-7"),
     {},
     false,
     MessageFate::kFiled,
     {"analyse", "uidl", "reply"},
     kStatusAwaitingRequest},
    {"duplicate_uidl",
     Plain("", "UID-7"),
     {"UID-7"},
     false,
     MessageFate::kDuplicate,
     {"analyse", "uidl"},
     0},
    {"no_key_at_all",
     Plain("", ""),
     {},
     false,
     MessageFate::kFiled,
     {"analyse", "uidl", "reply"},
     kStatusAwaitingRequest},
    {"bounce_consumed",
     Notification(true),
     {},
     false,
     MessageFate::kConsumed,
     {"analyse", "bounce"},
     0},
    {"unprovoked_notification_filed",
     Notification(false),
     {},
     false,
     MessageFate::kFiled,
     {"analyse", "bounce"},
     kStatusUnprovokedReport},
    {"reply_consumed", Reply(true), {}, false, MessageFate::kConsumed, {"analyse", "reply"}, 0},
    {"authorization_request_skips_checks",
     AuthorizationRequest(),
     {},
     false,
     MessageFate::kFiled,
     {"analyse"},
     kStatusAuthorizationRequest},
    // A vanished account's message is refused by the store whether it has a key or not:
    // it is not a copy, so the server must keep it.
    {"account_gone_refused",
     Plain("", ""),
     {},
     true,
     MessageFate::kRefused,
     {"analyse", "uidl", "reply"},
     0},
    {"account_gone_with_key",
     Plain("<1@x>"),
     {},
     true,
     MessageFate::kRefused,
     {"analyse", "reply"},
     0},
    {"consumed_reply_with_uidl_key",
     [] {
       Script script = Plain("", "UID-9");
       script.check_consumes = true;
       return script;
     }(),
     {},
     false,
     MessageFate::kConsumed,
     {"analyse", "uidl", "reply"},
     0},
};

INSTANTIATE_TEST_SUITE_P(Fates, MessageFateTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<FateRow>& info) {
                           return std::string(info.param.name);
                         });

// The UIDL request is network traffic and may fail: the message file must not stay behind.
TEST(MessageFateFailure, FileIsRemovedWhenAStepThrows) {
  platform::PlainMainThread main_thread;
  QuarantineWorld world;
  store::MessageCalls calls(main_thread, *world.messages, *world.digests, *world.accounts);
  const std::uint32_t account_id = world.AddAccount("me@home.example");
  auto message = world.NewMessage(account_id, "stranger@example.com");
  const std::string path = world.MessageFile(*message);
  ArrivalChecks checks;
  checks.analyse = [](store::MessageRecord&, ClassificationInput&, std::string&) { return true; };
  const ClassificationContext context;
  auto uidl = []() -> std::string { throw std::runtime_error("connection reset"); };

  EXPECT_THROW(DecideMessageFate(std::move(message), path, *world.accounts->CopyOf(account_id),
                                 uidl, {checks, context, calls}),
               std::runtime_error);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(world.messages->size(), 0u);
}

}  // namespace
}  // namespace pelrion::validation
