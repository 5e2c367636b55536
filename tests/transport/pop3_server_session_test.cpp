// The local POP3 server against real stores, through real loopback connections: every reply
// of the command table, the Inbox snapshot and its holds, removals at QUIT, UIDL/TOP/CAPA,
// the login limits and the pass-through to the listener's real server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "store/message_record.h"
#include "support/dovecot_server.h"
#include "transport/maildrop.h"
#include "transport/pop3_peer_helpers.h"
#include "transport/pop3_server_helpers.h"

namespace pelrion::transport::testing {
namespace {

const std::string kGreeting = "+OK Pelrion POP3 service\r\n";
const std::string kInvalid = "-ERR Invalid command\r\n";
const std::string kExtra = "-ERR Unexpected extra argument\r\n";
const std::string kMissing = "-ERR Missing argument\r\n";
const std::string kNoSuch = "-ERR No such message\r\n";
const std::string kAuthFailed = "-ERR Authentication failed\r\n";

// A body line and a header line that begin with '.', and a body that would end the reply
// early and forge a status line if it were sent unstuffed.
const std::string kFirst =
    "From: ann@example.org\r\nSubject: one\r\n\r\nHello\r\n.dot line\r\nbye\r\n";
const std::string kSecond =
    "From: bob@example.org\r\n.Odd: header\r\n\r\nSecond\r\n.\r\n+OK forged\r\n";

using Steps = std::vector<std::pair<std::string, std::string>>;

struct Conversation {
  const char* name;
  Steps steps;  // command sent, exact reply expected
};

Steps LoggedIn(Steps more) {
  Steps steps = {{"USER jo", "+OK password required for user jo\r\n"},
                 {"PASS secret", "+OK Maildrop ready\r\n"}};
  steps.insert(steps.end(), more.begin(), more.end());
  return steps;
}

// Logged in, and the maildrop surely loaded: it is loaded after the reply to PASS, so the
// reply to the next command comes after it.
Steps Loaded() { return LoggedIn({{"NOOP", "+OK\r\n"}}); }

std::string Size(const std::string& text) { return std::to_string(text.size()); }

std::vector<Conversation> Conversations(const std::string& uid1, const std::string& uid2) {
  const std::string total = std::to_string(kFirst.size() + kSecond.size());
  const std::string first_header = kFirst.substr(0, kFirst.find("\r\n\r\n") + 4);
  return {
      {"LowerCaseCommands",
       {{"user jo", "+OK password required for user jo\r\n"},
        {"pass secret", "+OK Maildrop ready\r\n"},
        {"stat", "+OK 2 " + total + "\r\n"},
        {"noop", "+OK\r\n"}}},
      {"UserWithoutName", {{"USER", kMissing}, {"USER jo", "+OK password required for user jo\r\n"}}},
      {"NameWithSpace", {{"USER jo smith", kExtra}}},
      {"UserNameIgnoresCase", {{"USER JO", "+OK password required for user JO\r\n"}}},
      {"PassBeforeUser", {{"PASS secret", kInvalid}}},
      {"TransactionCommandsBeforeLogin",
       {{"STAT", kInvalid}, {"LIST 1", kInvalid}, {"RETR 1", kInvalid}, {"DELE", kInvalid},
        {"UIDL", kInvalid}, {"TOP 1 1", kInvalid}, {"RSET", kInvalid}, {"NOOP", kInvalid}}},
      {"UnknownCommand", LoggedIn({{"XTND", kInvalid}, {"APOP jo x", kInvalid}})},
      {"PasswordWithSpace",
       {{"USER jo", "+OK password required for user jo\r\n"}, {"PASS sec ret", kExtra}}},
      {"PasswordDifferingInCase",
       {{"USER jo", "+OK password required for user jo\r\n"},
        {"PASS Secret", kAuthFailed},
        {"PASS secret", kInvalid}}},
      {"PasswordWithoutArgument",
       {{"USER jo", "+OK password required for user jo\r\n"}, {"PASS", kMissing}}},
      {"UserAgainAfterFailedPass",
       {{"USER jo", "+OK password required for user jo\r\n"},
        {"PASS wrong", kAuthFailed},
        {"USER jo", "+OK password required for user jo\r\n"},
        {"PASS secret", "+OK Maildrop ready\r\n"}}},
      {"UserInTransaction", LoggedIn({{"USER jo", kInvalid}, {"PASS secret", kInvalid}})},
      {"Stat", LoggedIn({{"STAT", "+OK 2 " + total + "\r\n"}, {"STAT x", kExtra}})},
      {"ListAll",
       LoggedIn({{"LIST", "+OK scan listing follows\r\n1 " + Size(kFirst) + "\r\n2 " +
                              Size(kSecond) + "\r\n.\r\n"}})},
      {"ListOne", LoggedIn({{"LIST 2", "+OK 2 " + Size(kSecond) + "\r\n"}})},
      {"ListBadNumbers",
       LoggedIn({{"LIST 0", kNoSuch}, {"LIST 3", kNoSuch}, {"LIST x", kNoSuch},
                 {"LIST -1", kNoSuch}, {"LIST 1 2", kExtra}})},
      {"RetrArguments",
       LoggedIn({{"RETR", kMissing}, {"RETR 1 2", kExtra}, {"RETR 0", kNoSuch},
                 {"RETR 3", kNoSuch}})},
      {"RetrStuffsEveryLine",
       LoggedIn({{"RETR 1", "+OK\r\n" + Stuffed(kFirst)},
                 {"RETR 2",
                  "+OK\r\nFrom: bob@example.org\r\n..Odd: header\r\n\r\nSecond\r\n..\r\n"
                  "+OK forged\r\n.\r\n"}})},
      {"DeleThenEverything",
       LoggedIn({{"DELE 1", "+OK message deleted\r\n"},
                 {"STAT", "+OK 1 " + Size(kSecond) + "\r\n"},
                 {"LIST", "+OK scan listing follows\r\n2 " + Size(kSecond) + "\r\n.\r\n"},
                 {"LIST 1", kNoSuch},
                 {"RETR 1", kNoSuch},
                 {"TOP 1 0", kNoSuch},
                 {"UIDL 1", kNoSuch},
                 {"UIDL", "+OK unique-id listing follows\r\n2 " + uid2 + "\r\n.\r\n"},
                 {"DELE 1", kNoSuch},
                 {"RSET", "+OK\r\n"},
                 {"STAT", "+OK 2 " + total + "\r\n"},
                 {"LIST 1", "+OK 1 " + Size(kFirst) + "\r\n"}})},
      {"DeleArguments", LoggedIn({{"DELE", kMissing}, {"DELE 1 2", kExtra}, {"DELE 9", kNoSuch}})},
      {"NoopAndRsetTakeNoArgument", LoggedIn({{"NOOP 1", kExtra}, {"RSET 1", kExtra}})},
      {"Top",
       LoggedIn({{"TOP 1 0", "+OK\r\n" + first_header + ".\r\n"},
                 {"TOP 1 2", "+OK\r\n" + first_header + "Hello\r\n..dot line\r\n.\r\n"},
                 {"TOP 1 99", "+OK\r\n" + Stuffed(kFirst)},
                 {"TOP 1", kMissing},
                 {"TOP 1 2 3", kExtra},
                 {"TOP 1 -1", kInvalid},
                 {"TOP 5 1", kNoSuch}})},
      {"Uidl",
       LoggedIn({{"UIDL", "+OK unique-id listing follows\r\n1 " + uid1 + "\r\n2 " + uid2 +
                              "\r\n.\r\n"},
                 {"UIDL 2", "+OK 2 " + uid2 + "\r\n"},
                 {"UIDL 1 2", kExtra}})},
      {"CapaInEveryState",
       {{"CAPA", "+OK Capability list follows\r\nUSER\r\nTOP\r\nUIDL\r\n.\r\n"},
        {"CAPA x", kExtra}}},
  };
}

class Pop3ServerThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    account = server.AddAccount(1, "jo", "secret");
    const auto filed = server.FileInboxInOrder(account, {kFirst, kSecond});
    first = filed[0];
    second = filed[1];
    server.Serve();
  }

  Pop3ServerWorld server;
  std::uint32_t account = 0;
  store::MessageRecord* first = nullptr;
  store::MessageRecord* second = nullptr;
};

TEST_F(Pop3ServerThreadTest, CommandTable) {
  std::size_t sessions = 0;
  for (const Conversation& conversation : Conversations(UniqueId(*first), UniqueId(*second))) {
    SCOPED_TRACE(conversation.name);
    server.RunClient([&] {
      Pop3Client client(server.port());
      EXPECT_EQ(client.Receive(kGreeting.size()), kGreeting);
      for (const auto& [command, reply] : conversation.steps) {
        EXPECT_EQ(client.Exchange(command, reply), reply) << command;
      }
      EXPECT_EQ(client.Exchange("QUIT", "+OK\r\n"), "+OK\r\n");
      EXPECT_EQ(client.Rest(), "");  // nothing more, and the server closed
    });
    server.WaitForSessions(++sessions);
    // No conversation ended in QUIT after a DELE that was not undone: nothing is removed.
    EXPECT_EQ(server.InboxTexts(account), (std::vector<std::string>{kFirst, kSecond}));
  }
  EXPECT_EQ(server.fatal_stops.size(), 0u);
}

TEST_F(Pop3ServerThreadTest, EmptyMaildrop) {
  server.AddAccount(1, "empty", "pw");
  server.RunClient([&] {
    Pop3Client client(server.port());
    client.Receive(kGreeting.size());
    for (const auto& [command, reply] : Steps{
             {"USER empty", "+OK password required for user empty\r\n"},
             {"PASS pw", "+OK Maildrop ready\r\n"},
             {"STAT", "+OK 0 0\r\n"},
             {"LIST", "+OK scan listing follows\r\n.\r\n"},
             {"UIDL", "+OK unique-id listing follows\r\n.\r\n"},
             {"LIST 1", kNoSuch},
             {"QUIT", "+OK\r\n"}}) {
      EXPECT_EQ(client.Exchange(command, reply), reply) << command;
    }
  });
}

}  // namespace
}  // namespace pelrion::transport::testing

namespace pelrion::transport::testing {
namespace {

// Runs the steps on a new connection (greeting first) and checks every reply.
void Converse(Pop3ServerWorld& server, const Steps& steps) {
  Pop3Client client(server.port());
  EXPECT_EQ(client.Receive(kGreeting.size()), kGreeting);
  for (const auto& [command, reply] : steps) {
    EXPECT_EQ(client.Exchange(command, reply), reply) << command;
  }
}

TEST_F(Pop3ServerThreadTest, QuitRemovesOnlyMarkedMessagesAndTheirFiles) {
  server.FileInbox(account, "Subject: three\r\n\r\nthird\r\n");
  const std::vector<std::string> before = server.InboxTexts(account);
  server.RunClient([&] {
    Converse(server, LoggedIn({{"DELE 1", "+OK message deleted\r\n"},
                               {"DELE 3", "+OK message deleted\r\n"},
                               {"QUIT", "+OK\r\n"}}));
  });
  server.WaitForSessions(1);
  EXPECT_EQ(server.InboxTexts(account), std::vector<std::string>{before[1]});
  EXPECT_EQ(server.world.MessageFileNames().size(), 1u);
  EXPECT_EQ(server.world.stores.messages->pending_count(), 0u);
}

// The program's shutdown stops a session waiting for its client: the marks are lost and
// every hold is given back.
TEST_F(Pop3ServerThreadTest, StoppedSessionGivesBackItsHolds) {
  Pop3Client client(server.port());
  server.RunClient([&] {
    client.Receive(kGreeting.size());
    for (const auto& [command, reply] : Loaded()) client.Exchange(command, reply);
    EXPECT_EQ(client.Exchange("DELE 2", "+OK message deleted\r\n"), "+OK message deleted\r\n");
  });
  EXPECT_EQ(first->references, 2);  // the table's and the session's
  server.StopSessions();
  const std::vector<NetError> ended = server.WaitForSessions(1);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(NetOperationOf(ended[0]), kNetStopped);
  EXPECT_EQ(first->references, 1);
  EXPECT_EQ(second->references, 1);
  EXPECT_EQ(server.InboxTexts(account), (std::vector<std::string>{kFirst, kSecond}));
}

TEST_F(Pop3ServerThreadTest, BrokenConnectionLosesTheMarks) {
  server.RunClient([&] { Converse(server, LoggedIn({{"DELE 1", "+OK message deleted\r\n"}})); });
  server.WaitForSessions(1);
  EXPECT_EQ(server.InboxTexts(account), (std::vector<std::string>{kFirst, kSecond}));
  // Every hold was given back: the only reference left is the table's own.
  EXPECT_EQ(first->references, 1);
  EXPECT_EQ(second->references, 1);
}

// Two sessions on one account: each has its own snapshot; a message removed by one stays
// readable by the other, which still holds it, and is gone for sessions that start later.
TEST_F(Pop3ServerThreadTest, TwoSessionsOnOneAccount) {
  const std::string total = std::to_string(kFirst.size() + kSecond.size());
  server.RunClient([&] {
    Pop3Client early(server.port());
    early.Receive(kGreeting.size());
    for (const auto& [command, reply] : LoggedIn({{"STAT", "+OK 2 " + total + "\r\n"}})) {
      EXPECT_EQ(early.Exchange(command, reply), reply) << command;
    }
    Converse(server, LoggedIn({{"DELE 1", "+OK message deleted\r\n"}, {"QUIT", "+OK\r\n"}}));
    EXPECT_EQ(early.Exchange("RETR 1", "+OK\r\n" + Stuffed(kFirst)), "+OK\r\n" + Stuffed(kFirst));
    Converse(server, LoggedIn({{"STAT", "+OK 1 " + Size(kSecond) + "\r\n"},
                               {"RETR 1", "+OK\r\n" + Stuffed(kSecond)}, {"QUIT", "+OK\r\n"}}));
    EXPECT_EQ(early.Exchange("QUIT", "+OK\r\n"), "+OK\r\n");
  });
  server.WaitForSessions(3);
  EXPECT_EQ(server.InboxTexts(account), std::vector<std::string>{kSecond});
  EXPECT_EQ(server.world.MessageFileNames().size(), 1u);  // deleted once the last hold went
}

TEST_F(Pop3ServerThreadTest, MailArrivingDuringASessionWaitsForTheNext) {
  std::unique_ptr<Pop3Client> early;
  server.RunClient([&] {
    early = std::make_unique<Pop3Client>(server.port());
    early->Receive(kGreeting.size());
    for (const auto& [command, reply] : Loaded()) early->Exchange(command, reply);
  });
  const std::string late = "Subject: late\r\n\r\nlate\r\n";
  server.FileInbox(account, late);
  const std::string three = std::to_string(kFirst.size() + kSecond.size() + late.size());
  server.RunClient([&] {
    EXPECT_EQ(early->Exchange("LIST 3", kNoSuch), kNoSuch);
    Converse(server, LoggedIn({{"STAT", "+OK 3 " + three + "\r\n"}}));
  });
}

TEST_F(Pop3ServerThreadTest, TwoAccountsOnOneListenerReachTheirOwnInbox) {
  const std::uint32_t other = server.AddAccount(1, "kim", "pw2");
  const std::string text = "Subject: kim's\r\n\r\nfor kim\r\n";
  server.FileInbox(other, text);
  server.RunClient([&] {
    Converse(server, {{"USER kim", "+OK password required for user kim\r\n"},
                      {"PASS secret", kAuthFailed},
                      {"USER kim", "+OK password required for user kim\r\n"},
                      {"PASS pw2", "+OK Maildrop ready\r\n"},
                      {"STAT", "+OK 1 " + Size(text) + "\r\n"},
                      {"RETR 1", "+OK\r\n" + Stuffed(text)}});
    Converse(server, LoggedIn({{"STAT", "+OK 2 " + std::to_string(kFirst.size() + kSecond.size()) +
                                            "\r\n"}}));
  });
}

TEST_F(Pop3ServerThreadTest, UidlIsStableAcrossSessionsAndUnique) {
  std::string listings[2];
  for (std::string& listing : listings) {
    server.RunClient([&] {
      Pop3Client client(server.port());
      client.Receive(kGreeting.size());
      for (const auto& [command, reply] : LoggedIn({})) client.Exchange(command, reply);
      client.Send("UIDL\r\nQUIT\r\n");  // pipelined
      listing = client.Rest();
    });
  }
  EXPECT_EQ(listings[0], listings[1]);
  EXPECT_NE(UniqueId(*first), UniqueId(*second));
  EXPECT_NE(listings[0].find("1 " + UniqueId(*first) + "\r\n"), std::string::npos);
}

TEST_F(Pop3ServerThreadTest, WrongPasswordsArePausedAndTheThirdCloses) {
  server.RunClient([&] {
    Pop3Client client(server.port());
    client.Receive(kGreeting.size());
    for (int attempt = 0; attempt < 3; ++attempt) {
      EXPECT_EQ(client.Exchange("USER jo", "+OK password required for user jo\r\n"),
                "+OK password required for user jo\r\n");
      EXPECT_EQ(client.Exchange("PASS guess", kAuthFailed), kAuthFailed);
    }
    EXPECT_EQ(client.Rest(), "");
  });
  const std::vector<NetError> ended = server.WaitForSessions(1);
  EXPECT_EQ(server.login_delays.load(), 3);
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(NetOperationOf(ended[0]), kNetEnded);
}

// A file that no longer holds its counted lines after the data check passed: the store is
// no longer trustworthy and the program stops.
TEST_F(Pop3ServerThreadTest, MessageFileBrokenMidServeStopsTheProgram) {
  server.RunClient([&] {
    Pop3Client client(server.port());
    client.Receive(kGreeting.size());
    for (const auto& [command, reply] : Loaded()) client.Exchange(command, reply);
    ::truncate(server.world.stores.messages->MessageFilePath(*first).c_str(),
               static_cast<off_t>(kFirst.find("bye")));
    client.Send("RETR 1\r\n");
    client.Rest();
  });
  server.WaitForSessions(1);
  EXPECT_EQ(server.fatal_stops, std::vector<std::string>{"Critical error on database access."});
}

TEST_F(Pop3ServerThreadTest, UnreadableHeaderBlockAnswersErr) {
  server.RunClient([&] {
    Pop3Client client(server.port());
    client.Receive(kGreeting.size());
    for (const auto& [command, reply] : Loaded()) client.Exchange(command, reply);
    ::unlink(server.world.stores.messages->MessageFilePath(*first).c_str());
    EXPECT_EQ(client.Exchange("RETR 1", "-ERR\r\n"), "-ERR\r\n");
    EXPECT_EQ(client.Exchange("NOOP", "+OK\r\n"), "+OK\r\n");
  });
  EXPECT_TRUE(server.fatal_stops.empty());
}

}  // namespace
}  // namespace pelrion::transport::testing

namespace pelrion::transport::testing {
namespace {

// A user name of no local account goes to the listener's real server; from its positive
// answer on, everything is relayed, commands pipelined behind USER included.
TEST_F(Pop3ServerThreadTest, UnknownUserIsPassedToTheRealServer) {
  Pop3Script script;
  script.user = "remote";
  script.password = "pw9";
  script.messages = {kFirst};
  ScriptedPop3Peer peer(script);
  server.SetRealServer(peer.port());
  server.RunClient([&] {
    Pop3Client client(server.port());
    client.Receive(kGreeting.size());
    client.Send("USER remote\r\nPASS pw9\r\nSTAT\r\nQUIT\r\n");
    EXPECT_EQ(client.Rest(),
              "+OK\r\n+OK logged in\r\n+OK 1 " + Size(kFirst) + "\r\n+OK bye\r\n");
  });
  const std::vector<NetError> ended = server.WaitForSessions(1);
  EXPECT_EQ(NetOperationOf(ended.at(0)), kNetEnded);
  EXPECT_EQ(peer.Commands(), (std::vector<std::string>{"USER remote", "PASS pw9", "STAT", "QUIT"}));
}

TEST_F(Pop3ServerThreadTest, RealServerRefusingTheNameLeavesTheClientInTheFirstState) {
  Pop3Script script;
  script.user = "remote";
  ScriptedPop3Peer peer(script);
  server.SetRealServer(peer.port());
  server.RunClient([&] {
    Converse(server, {{"USER stranger", "-ERR\r\n"},
                      {"PASS x", kInvalid},
                      {"USER jo", "+OK password required for user jo\r\n"}});
  });
}

TEST_F(Pop3ServerThreadTest, UnreachableRealServerAnswersErrAndUserMayBeSentAgain) {
  std::uint16_t closed_port;
  {
    RawListener gone;
    closed_port = gone.port();
  }
  server.SetRealServer(closed_port);
  server.RunClient([&] {
    Converse(server, {{"USER stranger", "-ERR\r\n"},
                      {"USER stranger", "-ERR\r\n"},
                      {"USER jo", "+OK password required for user jo\r\n"},
                      {"PASS secret", "+OK Maildrop ready\r\n"}});
  });
}

// The real server protected as the listener's TLS policy says, while the mail program
// talks plain text to this server.
struct DovecotRow {
  const char* name;
  test_support::DovecotServer::Tls server_tls;
  TlsMode mode;
  bool implicit_port;
};

class Pop3PassThroughDovecotThreadTest : public ::testing::TestWithParam<DovecotRow> {};

TEST_P(Pop3PassThroughDovecotThreadTest, ClientReadsTheRealMailbox) {
  const DovecotRow& row = GetParam();
  test_support::DovecotServer dovecot({.tls = row.server_tls, .binary = ""});
  dovecot.AddUser("far", "farpw");
  dovecot.AddMessage("far", kFirst);
  Pop3ServerWorld server;
  server.AddAccount(1, "jo", "secret");
  server.listener.server_port = row.implicit_port ? dovecot.pop3s_port() : dovecot.pop3_port();
  server.listener.tls_mode = static_cast<std::uint32_t>(row.mode);
  server.listener.tls_ca_file =
      row.server_tls == test_support::DovecotServer::Tls::kNone ? "" : dovecot.ca_file();
  server.Serve();
  server.RunClient([&] {
    Pop3Client client(server.port());
    client.Receive(kGreeting.size());
    client.Send("USER far\r\nPASS farpw\r\nRETR 1\r\nDELE 1\r\nQUIT\r\n");
    const std::string rest = client.Rest();
    EXPECT_NE(rest.find("\r\n" + Stuffed(kFirst)), std::string::npos) << rest;
    EXPECT_TRUE(rest.starts_with("+OK")) << rest;
  });
  server.WaitForSessions(1);
  EXPECT_EQ(dovecot.MessageCount("far"), 0u) << dovecot.LogTail();
}

const DovecotRow kDovecotRows[] = {
    {"PlainText", test_support::DovecotServer::Tls::kNone, TlsMode::kNever, false},
    {"Stls", test_support::DovecotServer::Tls::kStls, TlsMode::kUpgradeRequired, false},
    {"ImplicitTls", test_support::DovecotServer::Tls::kImplicit, TlsMode::kImplicit, true},
};

INSTANTIATE_TEST_SUITE_P(Servers, Pop3PassThroughDovecotThreadTest, ::testing::ValuesIn(kDovecotRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelrion::transport::testing

namespace pelrion::transport::testing {
namespace {

// Stored layouts a plain message seldom has: what RETR must send after "+OK\r\n".
struct LayoutRow {
  const char* name;
  std::string stored;
  std::string sent;
};

TEST(Pop3ServerLayoutThreadTest, RetrOfUnusualLayouts) {
  const std::vector<LayoutRow> rows = {
      {"HeaderOnly", "Subject: only\r\nX-A: b\r\n", "Subject: only\r\nX-A: b\r\n.\r\n"},
      {"HeaderOnlyWithoutLineEnd", "Subject: cut", "Subject: cut\r\n.\r\n"},
      {"LastBodyLineWithoutLineEnd", "Subject: s\r\n\r\nend", "Subject: s\r\n\r\nend\r\n.\r\n"},
      {"EmptyBody", "Subject: s\r\n\r\n", "Subject: s\r\n\r\n.\r\n"},
      {"OnlyPeriodsInBody", "Subject: s\r\n\r\n.\r\n..\r\n. x\r\n",
       "Subject: s\r\n\r\n..\r\n...\r\n.. x\r\n.\r\n"},
  };
  Pop3ServerWorld server;
  const std::uint32_t account = server.AddAccount(1, "jo", "secret");
  std::vector<std::string> texts;
  for (const LayoutRow& row : rows) texts.push_back(row.stored);
  server.FileInboxInOrder(account, texts);
  server.Serve();
  server.RunClient([&] {
    Pop3Client client(server.port());
    client.Receive(kGreeting.size());
    for (const auto& [command, reply] : Loaded()) client.Exchange(command, reply);
    for (std::size_t n = 0; n < rows.size(); ++n) {
      SCOPED_TRACE(rows[n].name);
      const std::string expected = "+OK\r\n" + rows[n].sent;
      EXPECT_EQ(client.Exchange("RETR " + std::to_string(n + 1), expected), expected);
    }
  });
  EXPECT_TRUE(server.fatal_stops.empty());
}

}  // namespace
}  // namespace pelrion::transport::testing
