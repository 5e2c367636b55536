// The mail-check worker against a scripted POP3 server on 127.0.0.1 and real stores: what it
// sends for each kind of server, what it stores byte for byte, what it deletes and reports.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "transport/check_world_helpers.h"
#include "transport/mail_check_session.h"
#include "transport/message_download.h"
#include "transport/net_error.h"
#include "transport/pop3_peer_helpers.h"
#include "transport/tls_test_helpers.h"

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

}  // namespace
}  // namespace pelrion::transport
