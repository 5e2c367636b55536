// The mail-check worker against a scripted POP3 server on 127.0.0.1 and real stores: what it
// sends for each kind of server, what it stores byte for byte, what it deletes and reports.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "transport/check_world_helpers.h"
#include "transport/mail_check_session.h"
#include "transport/message_download.h"
#include "transport/net_error.h"
#include "transport/pop3_peer_helpers.h"
#include "transport/tls_test_helpers.h"
#include "platform/recording_dialogs.h"
#include "store/message_record.h"

namespace pelrion::transport {
namespace {

using testing::CheckWorld;
using testing::MailText;
using testing::Pop3Script;
using testing::ScriptedPop3Peer;

const std::string kServer = "Incoming mail (POP3) server '127.0.0.1': ";

std::string Message(int n, const std::string& message_id = "") {
  std::vector<std::string> fields = {"From: Sender " + std::to_string(n) + " <s" +
                                         std::to_string(n) + "@example.com>",
                                     "To: me@home.example", "Subject: note " + std::to_string(n)};
  if (!message_id.empty()) fields.push_back("Message-ID: " + message_id);
  return MailText(fields, {"line one of " + std::to_string(n), "line two"});
}

std::vector<std::string> TwoMessages() { return {Message(1, "<1@x>"), Message(2, "<2@x>")}; }

const std::vector<std::string> kLogin = {"USER jo", "PASS secret", "STAT"};

std::vector<std::string> Then(std::vector<std::string> head, const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

struct ConversationRow {
  const char* name;
  std::function<void(Pop3Script&)> script;
  std::vector<std::string> want_commands;
  std::string want_error;  // "" = a success notice
  std::size_t want_stored;
  std::size_t want_left_on_server;
};

void PrintTo(const ConversationRow& row, std::ostream* os) { *os << row.name; }

class MailCheckConversationThreadTest : public ::testing::TestWithParam<ConversationRow> {};

TEST_P(MailCheckConversationThreadTest, SendsReportsStoresAndDeletes) {
  const ConversationRow& row = GetParam();
  Pop3Script script;
  script.messages = TwoMessages();
  row.script(script);
  ScriptedPop3Peer peer(script);
  CheckWorld world;
  const std::uint32_t account = world.AddAccount(peer.port());

  EXPECT_EQ(world.Check(), 0);
  peer.WaitForConnections(1);

  EXPECT_EQ(peer.Commands(), row.want_commands);
  if (row.want_error.empty()) {
    EXPECT_EQ(world.reports->Errors(), std::vector<std::string>{});
    EXPECT_EQ(world.reports->Successes(), std::vector<std::uint32_t>{account});
  } else {
    EXPECT_EQ(world.reports->Errors(), std::vector<std::string>{kServer + row.want_error});
    EXPECT_TRUE(world.reports->Successes().empty());
  }
  EXPECT_EQ(world.Records().size(), row.want_stored);
  // Nothing half-written stays behind: every message file belongs to a stored message.
  EXPECT_EQ(world.MessageFileNames().size(), row.want_stored);
  EXPECT_EQ(peer.Mailbox().size(), row.want_left_on_server);
  EXPECT_EQ(world.reports->finished(), 1);
  ASSERT_FALSE(world.reports->Statuses().empty());
  EXPECT_EQ(world.reports->Statuses().back().main_text, "Idle");
  EXPECT_EQ(world.reports->Activities().back(), 7);
  // "Receiving mail..." and "Deleting messages from server..." only when there is mail.
  const std::vector<int> activities = world.reports->Activities();
  const bool has_mail = std::find(activities.begin(), activities.end(), 1) != activities.end();
  EXPECT_EQ(has_mail, row.want_commands.size() > 3 && script.messages.size() > 0);
  if (script.messages.empty()) {
    EXPECT_EQ(std::find(activities.begin(), activities.end(), 6), activities.end());
  }
}

const ConversationRow kConversations[] = {
    {"TwoMessagesRetrievedThenDeleted",
     [](Pop3Script&) {},
     Then(kLogin, {"RETR 1", "RETR 2", "DELE 1", "DELE 2", "QUIT"}),
     "",
     2,
     0},
    {"EmptyMailboxIsStatThenQuit",
     [](Pop3Script& s) { s.messages.clear(); },
     Then(kLogin, {"QUIT"}),
     "",
     0,
     0},
    {"TwoWordStatIsInvalid",
     [](Pop3Script& s) { s.answers["STAT"] = "+OK 2\r\n"; },
     kLogin,
     "Invalid response received from POP3 server",
     0,
     2},
    {"NegativeCountIsInvalid",
     [](Pop3Script& s) { s.answers["STAT"] = "+OK -1 0\r\n"; },
     kLogin,
     "Invalid response received from POP3 server",
     0,
     2},
    {"RefusedGreeting",
     [](Pop3Script& s) { s.greeting = "-ERR too busy\r\n"; },
     {},
     "too busy",
     0,
     2},
    {"RefusedPasswordGivesTheServersWords",
     [](Pop3Script& s) { s.password = "other"; },
     {"USER jo", "PASS secret"},
     "[AUTH] Authentication failed.",
     0,
     2},
    {"EmptyRefusal",
     [](Pop3Script& s) { s.answers["USER jo"] = "-ERR   \r\n"; },
     {"USER jo"},
     "[No Error Description]",
     0,
     2},
    {"RefusalWithoutErrPrefixIsWhole",
     [](Pop3Script& s) { s.answers["STAT"] = "nope, not now\r\n"; },
     kLogin,
     "nope, not now",
     0,
     2},
    // One message the server will not give does not hold back the others: they are stored
    // and deleted, it stays on the server, and the refusal is reported.
    {"RefusedRetrLeavesThatMessageOnly",
     [](Pop3Script& s) {
       s.messages.push_back(Message(3, "<3@x>"));
       s.answers["RETR 2"] = "-ERR message locked\r\n";
     },
     Then(kLogin, {"RETR 1", "RETR 2", "RETR 3", "DELE 1", "DELE 3", "QUIT"}),
     "message locked",
     2,
     1},
    {"RefusedDeleKeepsTheMailbox",
     [](Pop3Script& s) { s.answers["DELE 2"] = "-ERR read-only mailbox\r\n"; },
     Then(kLogin, {"RETR 1", "RETR 2", "DELE 1", "DELE 2"}),
     "read-only mailbox",
     2,
     2},
    {"RefusedQuit",
     [](Pop3Script& s) { s.answers["QUIT"] = "-ERR could not commit\r\n"; },
     Then(kLogin, {"RETR 1", "RETR 2", "DELE 1", "DELE 2", "QUIT"}),
     "could not commit",
     2,
     2},
    {"ConnectionLostInAMessageLeavesNoFile",
     [](Pop3Script& s) { s.answers["RETR 2"] = std::string("+OK\r\nFrom: a@b\r\n\r\npartial") + testing::kHangUp;
     },
     Then(kLogin, {"RETR 1", "RETR 2"}),
     ErrorText(MakeNetError(kNetClosedByPeer)) + ".",
     1,
     2},
    {"OverlongReplyLineIsARefusal",
     [](Pop3Script& s) { s.answers["STAT"] = "+OK " + std::string(70 * 1024, '9') + "\r\n"; },
     kLogin,
     ErrorText(MakeNetError(kNetLineTooLong)) + ".",
     0,
     2},
    {"NoMessageIdAndUidlRefusedIsStoredWithoutKey",
     [](Pop3Script& s) {
       s.messages = {Message(1)};
       s.uidl = false;
     },
     Then(kLogin, {"RETR 1", "UIDL 1", "DELE 1", "QUIT"}),
     "",
     1,
     0},
    // The same Message-id twice: the second is a copy, not stored, yet deleted as well.
    {"SameMessageIdTwiceStoredOnceDeletedTwice",
     [](Pop3Script& s) { s.messages = {Message(1, "<same@x>"), Message(2, "<same@x>")}; },
     Then(kLogin, {"RETR 1", "RETR 2", "DELE 1", "DELE 2", "QUIT"}),
     "",
     1,
     0},
};

INSTANTIATE_TEST_SUITE_P(Servers, MailCheckConversationThreadTest,
                         ::testing::ValuesIn(kConversations),
                         [](const ::testing::TestParamInfo<ConversationRow>& info) {
                           return std::string(info.param.name);
                         });

// What the server sends for one message, and what the store must hold.
struct StoredRow {
  const char* name;
  std::string sent;  // the RETR answer's lines, dot-stuffed, before the lone "."
  std::string stored;
  std::int32_t header_length;
  std::uint32_t body_lines;
};

void PrintTo(const StoredRow& row, std::ostream* os) { *os << row.name; }

class MailCheckStoredThreadTest : public ::testing::TestWithParam<StoredRow> {};

TEST_P(MailCheckStoredThreadTest, StoresTheMessageAsItWasBeforeStuffing) {
  const StoredRow& row = GetParam();
  Pop3Script script;
  script.messages = {Message(1)};  // only counted: RETR 1 is answered by the row
  script.answers["RETR 1"] = "+OK\r\n" + row.sent + ".\r\n";
  ScriptedPop3Peer peer(script);
  CheckWorld world;
  world.AddAccount(peer.port());

  world.Check();

  EXPECT_TRUE(world.reports->Errors().empty());
  ASSERT_EQ(world.StoredTexts(), std::vector<std::string>{row.stored});
  const store::MessageRecord& record = *world.Records().front();
  EXPECT_EQ(record.summary.header_length, row.header_length);
  EXPECT_EQ(record.summary.body_line_count, row.body_lines);
  EXPECT_EQ(record.summary.file_size, row.stored.size());
  EXPECT_TRUE(world.stores.messages->CheckMessageData(record));
  EXPECT_TRUE(peer.Mailbox().empty());
}

const std::string kLongLine(100 * 1024, 'x');

const StoredRow kStored[] = {
    {"DoubledPeriodsLoseOne",
     "From: a@b.example\r\n\r\n..text\r\n..\r\nend\r\n",
     "From: a@b.example\r\n\r\n.text\r\n.\r\nend\r\n",
     21,
     3},
    {"FirstLineEmpty", "\r\nbody\r\nmore\r\n", "\r\nbody\r\nmore\r\n", 2, 2},
    // A message without the empty line is all header; it is filed, not refused for ever.
    {"HeaderOnly",
     "From: a@b.example\r\nSubject: hi\r\n",
     "From: a@b.example\r\nSubject: hi\r\n",
     32,
     0},
    // Message lines have no length limit, unlike reply lines.
    {"BodyLineLongerThanTheReplyLimit",
     "From: a@b.example\r\n\r\n" + kLongLine + "\r\n",
     "From: a@b.example\r\n\r\n" + kLongLine + "\r\n",
     21,
     1},
};

INSTANTIATE_TEST_SUITE_P(Messages, MailCheckStoredThreadTest, ::testing::ValuesIn(kStored),
                         [](const ::testing::TestParamInfo<StoredRow>& info) {
                           return std::string(info.param.name);
                         });

// A check that fails after retrieving and before the server committed its deletions leaves
// the keys on disk: the next check (after a restart) retrieves everything again, stores
// nothing twice, and empties the mailbox.
TEST(MailCheckThreadTest, InterruptedCheckIsRetrievedAgainWithoutCopies) {
  Pop3Script script;
  script.messages = {Message(1, "<1@x>"), Message(2), Message(3, "<3@x>")};
  script.answers["DELE 2"] = testing::kHangUp;
  ScriptedPop3Peer peer(script);
  CheckWorld world;
  const std::uint32_t account = world.AddAccount(peer.port());

  world.Check();
  peer.WaitForConnections(1);
  ASSERT_EQ(world.reports->Errors().size(), 1u);
  const std::vector<std::string> first = world.StoredTexts();
  ASSERT_EQ(first.size(), 3u);
  EXPECT_EQ(peer.Mailbox().size(), 3u);

  world.Restart();
  world.Check();
  peer.WaitForConnections(2);
  EXPECT_TRUE(world.reports->Errors().empty());
  EXPECT_EQ(world.reports->Successes(), std::vector<std::uint32_t>{account});
  EXPECT_EQ(world.StoredTexts(), first);
  EXPECT_TRUE(peer.Mailbox().empty());
  // A complete check forgets the account's keys.
  EXPECT_EQ(world.stores.digests->size(), 0u);
}

// A refused password is one account's failure: the next account is still checked.
TEST(MailCheckThreadTest, NextAccountIsCheckedAfterARefusal) {
  Pop3Script refusing;
  refusing.password = "changed";
  refusing.messages = TwoMessages();
  Pop3Script working;
  working.messages = TwoMessages();
  ScriptedPop3Peer first(refusing);
  ScriptedPop3Peer second(working);
  CheckWorld world;
  world.AddAccount(first.port());
  const std::uint32_t good = world.AddAccount(second.port());

  world.Check();

  EXPECT_EQ(world.reports->Errors(),
            std::vector<std::string>{kServer + "[AUTH] Authentication failed."});
  EXPECT_EQ(world.reports->Successes(), std::vector<std::uint32_t>{good});
  EXPECT_EQ(first.Mailbox().size(), 2u);
  EXPECT_TRUE(second.Mailbox().empty());
  EXPECT_EQ(world.Records().size(), 2u);
}

// An account removed while its mail downloads (before any of it was filed: an account with
// stored messages is not removed) has no store left for it: nothing of its
// mailbox is deleted, and neither a report nor a success notice is due.
TEST(MailCheckThreadTest, AccountRemovedDuringTheCheckKeepsTheMailbox) {
  platform::testing_support::RecordingDialogs dialogs;
  dialogs.answer = platform::DialogAnswer::kYes;
  platform::SetDialogs(&dialogs);
  CheckWorld world;
  std::uint32_t account = 0;
  Pop3Script script;
  script.messages = TwoMessages();
  script.before_answer = [&](const std::string& command) {
    if (command != "RETR 1") return;
    world.main_thread().Call([&] { EXPECT_TRUE(world.stores.accounts->RemoveAccount(account, nullptr)); });
  };
  ScriptedPop3Peer peer(script);
  account = world.AddAccount(peer.port());

  world.Check();
  peer.WaitForConnections(1);
  platform::SetDialogs(nullptr);

  EXPECT_EQ(peer.Commands(), Then(kLogin, {"RETR 1", "RETR 2", "QUIT"}));
  EXPECT_EQ(peer.Mailbox().size(), 2u);
  EXPECT_TRUE(world.reports->Errors().empty());
  EXPECT_TRUE(world.reports->Successes().empty());
  EXPECT_TRUE(world.Records().empty());
  EXPECT_TRUE(world.MessageFileNames().empty());
}

// The TLS policy decides whether the conversation is protected before the user name goes
// out; where it refuses plain text, no user name or password was sent.
struct TlsRow {
  const char* name;
  TlsMode mode;
  bool server_offers_stls;
  bool trust_server;      // the CA file is given
  bool server_is_remote;  // the policy sees a non-loopback address
  std::vector<std::string> want_commands;
  bool want_success;
};

void PrintTo(const TlsRow& row, std::ostream* os) { *os << row.name; }

class MailCheckTlsThreadTest : public ::testing::TestWithParam<TlsRow> {
 protected:
  static testing_tls::TestPki& Pki() {
    static testing_tls::TestPki pki;
    return pki;
  }
};

TEST_P(MailCheckTlsThreadTest, ProtectsTheLoginAsThePolicySays) {
  const TlsRow& row = GetParam();
  Pop3Script script;
  script.messages = {Message(1, "<1@x>")};
  if (row.server_offers_stls) {
    script.certificate = Pki().valid.certificate;
    script.key = Pki().valid.key;
  }
  ScriptedPop3Peer peer(script);
  CheckWorld world;
  world.AddAccount(peer.port(), "jo", "secret", row.mode, row.trust_server ? Pki().ca : "");
  PlainConversationPolicy policy = DecidePlainConversation;
  if (row.server_is_remote) {
    policy = [](TlsMode mode, bool offers, std::uint32_t) {
      return DecidePlainConversation(mode, offers, 0x0A000001);
    };
  }

  world.Check({}, policy);
  peer.WaitForConnections(1);

  EXPECT_EQ(peer.Commands(), row.want_commands);
  EXPECT_EQ(world.reports->Successes().size(), row.want_success ? 1u : 0u);
  EXPECT_EQ(world.reports->Errors().size(), row.want_success ? 0u : 1u);
  EXPECT_EQ(peer.Mailbox().empty(), row.want_success);
  // Only a refused certificate is offered for pinning, with the fingerprint of the one seen.
  const std::string refused =
      row.trust_server ? "" : testing_tls::ToolFingerprint(Pki().valid.certificate);
  EXPECT_EQ(world.reports->Certificates(),
            std::vector<std::string>(row.want_success ? 0 : 1, refused));
}

const std::vector<std::string> kWholeCheck = {"USER jo", "PASS secret", "STAT", "RETR 1",
                                              "DELE 1", "QUIT"};

const TlsRow kTlsRows[] = {
    {"AutomaticUpgradesWhenOffered", TlsMode::kAutomatic, true, true, false,
     Then({"STLS"}, kWholeCheck), true},
    {"RequiredUpgrades", TlsMode::kUpgradeRequired, true, true, true, Then({"STLS"}, kWholeCheck),
     true},
    {"RequiredButNotOffered", TlsMode::kUpgradeRequired, false, true, false, {"STLS"}, false},
    {"AutomaticRemoteServerWithoutStls", TlsMode::kAutomatic, false, true, true, {"STLS"}, false},
    {"AutomaticLocalServerWithoutStls", TlsMode::kAutomatic, false, true, false,
     Then({"STLS"}, kWholeCheck), true},
    {"UntrustedCertificate", TlsMode::kAutomatic, true, false, false, {"STLS"}, false},
    {"NeverSendsNoStls", TlsMode::kNever, true, true, true, kWholeCheck, true},
};

INSTANTIATE_TEST_SUITE_P(Policies, MailCheckTlsThreadTest, ::testing::ValuesIn(kTlsRows),
                         [](const ::testing::TestParamInfo<TlsRow>& info) {
                           return std::string(info.param.name);
                         });

// A stop (going offline, shutting down) while the worker waits in any phase ends it at once,
// without a report.
class MailCheckStopThreadTest : public ::testing::TestWithParam<const char*> {};

TEST_P(MailCheckStopThreadTest, StopEndsTheWorkerWithoutReport) {
  const std::string phase = GetParam();
  Pop3Script script;
  // Without Message-ids the worker asks for the UIDL.
  script.messages = phase == "UIDL 1" ? std::vector<std::string>{Message(1), Message(2)}
                                      : TwoMessages();
  std::atomic<bool> reached{false};
  if (phase == "greeting") {
    script.greeting = testing::kStall;
  } else {
    script.answers[phase] = testing::kStall;
  }
  script.before_answer = [&](const std::string& command) {
    if (command == phase) reached = true;
  };
  ScriptedPop3Peer peer(script);
  CheckWorld world;
  world.AddAccount(peer.port());
  world.AddAccount(peer.port() == 1 ? 2 : 1);  // never reached: the stop skips the rest
  world.timeout_seconds = 120;

  std::thread controller([&] {
    while (!reached && phase != "greeting") std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (phase == "greeting") std::this_thread::sleep_for(std::chrono::milliseconds(50));
    world.job.RequestStop();
  });
  const int code = world.Check();
  controller.join();

  EXPECT_EQ(code, 1);
  EXPECT_TRUE(world.reports->Errors().empty());
  EXPECT_TRUE(world.reports->Successes().empty());
  EXPECT_EQ(world.reports->finished(), 1);
  // No half-received message stays behind.
  EXPECT_EQ(world.MessageFileNames().size(), world.Records().size());
  EXPECT_EQ(peer.Mailbox().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Phases, MailCheckStopThreadTest,
                         ::testing::Values("greeting", "USER jo", "STAT", "RETR 2", "UIDL 1",
                                           "DELE 1", "QUIT"),
                         testing::CommandTestName);

}  // namespace
}  // namespace pelrion::transport
