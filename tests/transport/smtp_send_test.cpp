// The sending worker against a scripted SMTP server on 127.0.0.1: what it sends for each
// kind of server, what it reports, and which requests it counts as delivered or refused.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "mailformat/base64.h"
#include "platform/host_name.h"
#include "transport/net_connection.h"
#include "transport/net_error.h"
#include "transport/send_session.h"
#include "transport/send_thread.h"
#include "transport/smtp_compose_helpers.h"
#include "transport/smtp_recorded_send.h"
#include "transport/smtp_peer_helpers.h"
#include "transport/socket_helpers.h"
#include "transport/tls_test_helpers.h"
#include "validation/authorization_request.h"
#include "validation/request_output.h"

namespace pelrion::transport {
namespace {

using testing::Composed;
using Recorded = testing::RecordedSend;
using testing::ScriptedSmtpPeer;
using testing::SmtpScript;
using testing::TemplatesWithLeadingDots;
using testing::WithoutUniqueValues;

validation::RequestWork Request(const std::string& address, int number) {
  validation::RequestWork request;
  request.facts.sender_address = address;
  request.facts.sender_name = "Sender " + std::to_string(number);
  request.facts.sender_name_decoded = request.facts.sender_name;
  request.facts.subject = "offer number " + std::to_string(number);
  request.facts.request_number = number;
  request.facts.user_email = "me@example.test";
  request.facts.user_name = "Me";
  return request;
}

validation::SendGroupWork Group(std::uint16_t port, bool authentication,
                                std::vector<std::string> recipients) {
  validation::SendGroupWork group = testing::TestAccountGroup(port, authentication, TlsMode::kNever);
  int number = 1;
  for (const std::string& recipient : recipients) group.requests.push_back(Request(recipient, number++));
  return group;
}

std::vector<std::string> Arrived(ScriptedSmtpPeer& peer) {
  std::vector<std::string> messages = peer.Messages();
  for (std::string& message : messages) message = WithoutUniqueValues(message);
  return messages;
}

// "{host}" stands for this machine's name in the expected commands.
std::vector<std::string> WithHost(std::vector<std::string> commands) {
  for (std::string& command : commands) {
    const auto at = command.find("{host}");
    if (at != std::string::npos) command.replace(at, 6, platform::HostName());
  }
  return commands;
}

enum class PeerTls { kNone, kStartTls, kImplicit };

struct DialogueCase {
  const char* name;
  bool authentication;
  std::vector<std::string> recipients;
  std::vector<std::string> replies;
  std::vector<std::string> commands;   // expected, in order
  std::vector<std::string> delivered;  // the recipients whose request went out
  std::vector<std::string> refused;
  std::string report;                  // the server line expected in the report, or empty
  TlsMode mode = TlsMode::kNever;      // the listener's TLS policy (the peer is on loopback)
  PeerTls tls = PeerTls::kNone;
};

// Test names and failure messages show the row's name, not its bytes.
void PrintTo(const DialogueCase& row, std::ostream* out) { *out << row.name; }

const std::string kPlainCredentials =
    mailformat::Base64Encode(std::string("\0jo\0pass", 8));

const DialogueCase kDialogues[] = {
    {"EhloWithoutAuthSendsWithoutLogin", true, {"a@x.test"},
     {"220 hi\r\n", "250-srv\r\n250 SIZE 100\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
      "250 queued\r\n", "221 bye\r\n"},
     {"EHLO {host}", "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>", "DATA", ".", "QUIT"},
     {"a@x.test"}, {}, ""},
    {"AuthWithoutLoginUsesPlain", true, {"a@x.test"},
     {"220 hi\r\n", "250-srv\r\n250 AUTH CRAM-MD5 PLAIN\r\n", "235 fine\r\n", "250 ok\r\n",
      "250 ok\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"},
     {"EHLO {host}", "AUTH PLAIN " + kPlainCredentials, "MAIL FROM: <me@example.test>",
      "RCPT TO: <a@x.test>", "DATA", ".", "QUIT"},
     {"a@x.test"}, {}, ""},
    {"NoAuthenticationFlagUsesHelo", false, {"a@x.test"},
     {"220 ESMTP hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
      "250 queued\r\n", "221 bye\r\n"},
     {"HELO {host}", "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>", "DATA", ".", "QUIT"},
     {"a@x.test"}, {}, ""},
    {"UnknownMailboxIsRefusedAndTheNextRequestFollowsRset", false, {"a@x.test", "b@x.test"},
     {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "550 5.1.1 no such user\r\n", "250 reset\r\n",
      "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"},
     {"HELO {host}", "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>", "RSET",
      "MAIL FROM: <me@example.test>", "RCPT TO: <b@x.test>", "DATA", ".", "QUIT"},
     {"b@x.test"}, {"a@x.test"}, ""},
    {"RelayRefusalFailsTheGroupWithoutRejectingTheSender", false, {"a@x.test", "b@x.test"},
     {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "550 5.7.1 relaying denied\r\n", "221 bye\r\n"},
     {"HELO {host}", "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>", "QUIT"},
     {}, {}, "550 5.7.1 relaying denied"},
    {"TemporaryRecipientFailureLeavesTheRequestWaiting", false, {"a@x.test", "b@x.test"},
     {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "450 4.2.0 try later\r\n", "250 reset\r\n",
      "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"},
     {"HELO {host}", "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>", "RSET",
      "MAIL FROM: <me@example.test>", "RCPT TO: <b@x.test>", "DATA", ".", "QUIT"},
     {"b@x.test"}, {}, ""},
    {"BusyGreetingIsReportedAfterQuit", true, {"a@x.test"},
     {"421 too busy  \r\n", "221 bye\r\n"}, {"QUIT"}, {}, {}, "421 too busy"},
    // Without the flag, EHLO is still sent wherever it can lead to TLS.
    {"AutomaticModeLearnsOfStartTlsFromEhloAndUpgrades", false, {"a@x.test"},
     {"220 hi\r\n", "250-srv\r\n250-SIZE 100\r\n250 STARTTLS\r\n", "220 go ahead\r\n",
      "250 srv\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"},
     {"EHLO {host}", "STARTTLS", "EHLO {host}", "MAIL FROM: <me@example.test>",
      "RCPT TO: <a@x.test>", "DATA", ".", "QUIT"},
     {"a@x.test"}, {}, "", TlsMode::kAutomatic, PeerTls::kStartTls},
    {"RequiredUpgradeWithoutTheFlagUpgradesWithoutLogin", false, {"a@x.test"},
     {"220 hi\r\n", "250-srv\r\n250-AUTH LOGIN\r\n250 STARTTLS\r\n", "220 go ahead\r\n",
      "250-srv\r\n250 AUTH LOGIN\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
      "250 queued\r\n", "221 bye\r\n"},
     {"EHLO {host}", "STARTTLS", "EHLO {host}", "MAIL FROM: <me@example.test>",
      "RCPT TO: <a@x.test>", "DATA", ".", "QUIT"},
     {"a@x.test"}, {}, "", TlsMode::kUpgradeRequired, PeerTls::kStartTls},
    {"AutomaticModeWithoutStartTlsGoesOnInPlainTextToLoopback", false, {"a@x.test"},
     {"220 hi\r\n", "250-srv\r\n250 SIZE 100\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
      "250 queued\r\n", "221 bye\r\n"},
     {"EHLO {host}", "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>", "DATA", ".", "QUIT"},
     {"a@x.test"}, {}, "", TlsMode::kAutomatic},
    {"RefusedEhloFallsBackToHelo", false, {"a@x.test"},
     {"220 hi\r\n", "502 5.5.1 command not implemented\r\n", "250 hello\r\n", "250 ok\r\n",
      "250 ok\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"},
     {"EHLO {host}", "HELO {host}", "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>",
      "DATA", ".", "QUIT"},
     {"a@x.test"}, {}, "", TlsMode::kAutomatic},
    {"TemporaryEhloFailureIsReportedWithoutHelo", false, {"a@x.test"},
     {"220 hi\r\n", "421 4.3.2 shutting down\r\n", "221 bye\r\n"}, {"EHLO {host}", "QUIT"},
     {}, {}, "421 4.3.2 shutting down", TlsMode::kAutomatic},
    {"RefusedEhloIsReportedWhenALoginIsNeeded", true, {"a@x.test"},
     {"220 hi\r\n", "500 5.5.1 what\r\n", "221 bye\r\n"}, {"EHLO {host}", "QUIT"},
     {}, {}, "500 5.5.1 what", TlsMode::kAutomatic},
    {"ImplicitTlsWithoutTheFlagUsesHelo", false, {"a@x.test"},
     {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
      "250 queued\r\n", "221 bye\r\n"},
     {"HELO {host}", "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>", "DATA", ".", "QUIT"},
     {"a@x.test"}, {}, "", TlsMode::kImplicit, PeerTls::kImplicit},
    {"ImplicitTlsWithTheFlagUsesEhloAndLogsIn", true, {"a@x.test"},
     {"220 hi\r\n", "250-srv\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n",
      "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
      "250 queued\r\n", "221 bye\r\n"},
     {"EHLO {host}", "AUTH LOGIN", mailformat::Base64Encode("jo"), mailformat::Base64Encode("pass"),
      "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>", "DATA", ".", "QUIT"},
     {"a@x.test"}, {}, "", TlsMode::kImplicit, PeerTls::kImplicit},
    {"MultiLineReplyIsReadToItsLastLine", false, {"a@x.test"},
     {"220-first\r\n220 second\r\n", "250-a\r\n250 b\r\n", "250 ok\r\n", "251 forwarded\r\n",
      "354 go\r\n", "250 queued\r\n", "221 bye\r\n"},
     {"HELO {host}", "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>", "DATA", ".", "QUIT"},
     {"a@x.test"}, {}, ""},
};

class SmtpDialogueThreadTest : public ::testing::TestWithParam<DialogueCase> {};

TEST_P(SmtpDialogueThreadTest, SendsWhatTheServerAllowsAndReportsTheRest) {
  const DialogueCase& row = GetParam();
  testing_tls::TestPki pki;
  SmtpScript script{row.replies, "", "", row.tls == PeerTls::kImplicit};
  if (row.tls != PeerTls::kNone) {
    script.certificate = pki.valid.certificate;
    script.key = pki.valid.key;
  }
  ScriptedSmtpPeer peer(script);
  validation::SendWork work;
  work.settings = TemplatesWithLeadingDots();
  work.groups.push_back(Group(peer.port(), row.authentication, row.recipients));
  work.groups[0].tls_mode = static_cast<std::uint32_t>(row.mode);
  work.groups[0].tls_ca_file = pki.ca;
  WorkerJob job;
  Recorded recorded;
  EXPECT_EQ(SendThread(job, work, recorded, recorded, 10).Run(), 0);

  EXPECT_EQ(peer.Commands(), WithHost(row.commands));
  EXPECT_EQ(recorded.delivered, row.delivered);
  EXPECT_EQ(recorded.refused, row.refused);
  // Every delivered request arrived as exactly the composer's bytes.
  std::vector<std::string> expected_messages;
  for (const auto& request : work.groups[0].requests) {
    for (const std::string& address : row.delivered) {
      if (address == request.facts.sender_address) {
        expected_messages.push_back(Composed(request, work.settings));
      }
    }
  }
  EXPECT_EQ(Arrived(peer), expected_messages);
  if (row.report.empty()) {
    EXPECT_TRUE(recorded.errors.empty());
    EXPECT_EQ(recorded.successes, 1);
  } else {
    EXPECT_EQ(recorded.errors,
              std::vector<std::string>{"Outgoing mail (SMTP) server '127.0.0.1': " + row.report});
    EXPECT_EQ(recorded.successes, 0);
  }
  EXPECT_EQ(recorded.finished, 1);
  EXPECT_EQ(recorded.last_status.main_text, "Idle");
}

INSTANTIATE_TEST_SUITE_P(Scripts, SmtpDialogueThreadTest, ::testing::ValuesIn(kDialogues),
                         [](const auto& info) { return std::string(info.param.name); });

// Short names and passwords are where a base64 encoder drops its padding.
TEST(SmtpAuthLoginThreadTest, CredentialsOfEveryPaddingLengthAreSentWhole) {
  const struct {
    std::string text;
    std::string encoded;  // RFC 4648's test vectors
  } kRows[] = {{"f", "Zg=="}, {"fo", "Zm8="}, {"foob", "Zm9vYg=="}};
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.text);
    ScriptedSmtpPeer peer(SmtpScript{
        {"220 hi\r\n", "250-srv\r\n250-AUTH PLAIN login\r\n250 AUTH CRAM-MD5\r\n", "334 VXNlcm5hbWU6\r\n",
         "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
         "250 queued\r\n", "221 bye\r\n"},
        "", ""});
    validation::SendWork work;
    work.groups.push_back(Group(peer.port(), true, {"a@x.test"}));
    work.groups[0].smtp_user_name = row.text;
    work.groups[0].smtp_password = row.text;
    WorkerJob job;
    Recorded recorded;
    SendThread(job, work, recorded, recorded, 10).Run();
    const std::vector<std::string> commands = peer.Commands();
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[1], "AUTH LOGIN");
    EXPECT_EQ(commands[2], row.encoded);
    EXPECT_EQ(commands[3], row.encoded);
    EXPECT_EQ(recorded.delivered, std::vector<std::string>{"a@x.test"});
  }
}

TEST(SmtpStartTlsThreadTest, UpgradesThenGreetsAgainAndLogsInOverTls) {
  testing_tls::TestPki pki;
  ScriptedSmtpPeer peer(SmtpScript{
      {"220 hi\r\n", "250-srv\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n", "220 go ahead\r\n",
       "250-srv\r\n250 AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n",
       "235 ok\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"},
      pki.valid.certificate, pki.valid.key});
  validation::SendWork work;
  work.settings = TemplatesWithLeadingDots();
  work.groups.push_back(Group(peer.port(), true, {"a@x.test"}));
  work.groups[0].tls_mode = static_cast<std::uint32_t>(TlsMode::kUpgradeRequired);
  work.groups[0].tls_ca_file = pki.ca;
  WorkerJob job;
  Recorded recorded;
  SendThread(job, work, recorded, recorded, 10).Run();
  EXPECT_EQ(peer.Commands(),
            WithHost({"EHLO {host}", "STARTTLS", "EHLO {host}", "AUTH LOGIN",
                      mailformat::Base64Encode("jo"), mailformat::Base64Encode("pass"),
                      "MAIL FROM: <me@example.test>", "RCPT TO: <a@x.test>", "DATA", ".",
                      "QUIT"}));
  EXPECT_EQ(Arrived(peer), std::vector<std::string>{Composed(work.groups[0].requests[0],
                                                               work.settings)});
  EXPECT_TRUE(recorded.errors.empty());
}

// A certificate that fails verification is reported with its fingerprint, so the user can
// pin it; once pinned, the same server is trusted.
TEST(SmtpStartTlsThreadTest, UntrustedCertificateIsReportedWithItsFingerprintAndCanBePinned) {
  testing_tls::TestPki pki;
  const std::string presented = testing_tls::ToolFingerprint(pki.expired.certificate);
  for (const bool pinned : {false, true}) {
    SCOPED_TRACE(pinned ? "pinned" : "not pinned");
    ScriptedSmtpPeer peer(SmtpScript{
        {"220 hi\r\n", "250-srv\r\n250 STARTTLS\r\n", "220 go ahead\r\n", "250 srv\r\n",
         "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued\r\n", "221 bye\r\n"},
        pki.expired.certificate, pki.expired.key});
    validation::SendWork work;
    work.groups.push_back(Group(peer.port(), false, {"a@x.test"}));
    work.groups[0].tls_mode = static_cast<std::uint32_t>(TlsMode::kUpgradeRequired);
    work.groups[0].tls_ca_file = pki.ca;
    if (pinned) work.groups[0].tls_fingerprint = presented;
    WorkerJob job;
    Recorded recorded;
    SendThread(job, work, recorded, recorded, 10).Run();
    peer.Commands();
    if (pinned) {
      EXPECT_TRUE(recorded.errors.empty());
      EXPECT_EQ(recorded.delivered, std::vector<std::string>{"a@x.test"});
      continue;
    }
    ASSERT_EQ(recorded.errors.size(), 1u);
    EXPECT_EQ(recorded.certificates, std::vector<std::string>{presented});
    EXPECT_NE(recorded.errors[0].find(presented), std::string::npos) << recorded.errors[0];
    EXPECT_TRUE(recorded.delivered.empty());
  }
}

// The policy sees a remote address although the peer is local, so nothing outside this
// machine is contacted. Without TLS on offer the conversation ends before any credential,
// and a server that refuses EHLO is not asked for HELO instead.
TEST(SmtpStartTlsThreadTest, RemoteServerWithoutTlsEndsBeforeAnyCredential) {
  const struct {
    const char* name;
    TlsMode mode;
    bool authentication;
    std::string ehlo_reply;
  } kRows[] = {
      {"RequiredButNotOffered", TlsMode::kUpgradeRequired, true, "250-srv\r\n250 AUTH LOGIN\r\n"},
      {"AutomaticButNotOffered", TlsMode::kAutomatic, true, "250-srv\r\n250 AUTH LOGIN\r\n"},
      {"EhloRefusedWithoutTheFlag", TlsMode::kAutomatic, false, "502 5.5.1 unknown\r\n"},
  };
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.name);
    ScriptedSmtpPeer peer(SmtpScript{{"220 hi\r\n", row.ehlo_reply, ""}, "", ""});
    validation::SendGroupWork group = Group(peer.port(), row.authentication, {"a@x.test"});
    group.tls_mode = static_cast<std::uint32_t>(row.mode);
    core::Preferences settings;
    WorkerJob job;
    Recorded recorded;
    NetConnection connection(10, 10, &job);
    connection.Create();
    const auto remote = [](TlsMode mode, bool offered, std::uint32_t) {
      return DecidePlainConversation(mode, offered, 0x08080808);
    };
    const NetError error = testing::CaughtNetError(
        [&] { SendSession(connection, group, settings, recorded, recorded, remote).Run(); });
    connection.Close(false);
    EXPECT_EQ(error & 0xFFFF, kNetTlsRequired);
    EXPECT_EQ(peer.Commands(), WithHost({"EHLO {host}"}));
    EXPECT_NE(ErrorText(error), "");
    EXPECT_TRUE(recorded.delivered.empty());
  }
}

TEST(SmtpReplyLimitThreadTest, OverlongReplyLineIsARefusalWithAReport) {
  const std::string huge = "250 " + std::string(kSmtpReplyLineLimit + 10, 'x') + "\r\n";
  ScriptedSmtpPeer peer(SmtpScript{{"220 hi\r\n", huge, "221 bye\r\n"}, "", ""});
  validation::SendWork work;
  work.groups.push_back(Group(peer.port(), false, {"a@x.test"}));
  WorkerJob job;
  Recorded recorded;
  SendThread(job, work, recorded, recorded, 10).Run();
  peer.Commands();
  ASSERT_EQ(recorded.errors.size(), 1u);
  EXPECT_NE(recorded.errors[0].find(ErrorText(MakeNetError(kNetLineTooLong))), std::string::npos);
  EXPECT_TRUE(recorded.delivered.empty());
}

TEST(SmtpStopThreadTest, StopDuringABlockedReadEndsWithCodeOneAndNoReport) {
  ScriptedSmtpPeer peer(SmtpScript{{"220 hi\r\n", ""}, "", ""});
  validation::SendWork work;
  work.groups.push_back(Group(peer.port(), false, {"a@x.test"}));
  work.groups.push_back(Group(peer.port(), false, {"b@x.test"}));
  WorkerJob job;
  Recorded recorded;
  int code = -1;
  std::thread worker([&] { code = SendThread(job, work, recorded, recorded, -1).Run(); });
  peer.WaitForCommands(1);  // the worker now waits for the HELO reply that never comes
  job.RequestStop();
  worker.join();
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(recorded.errors.empty());
  EXPECT_EQ(recorded.successes, 0);
  EXPECT_EQ(recorded.finished, 1);
}

TEST(SmtpRecipientVerdictTest, OnlyPermanentAddressFailuresRejectTheSender) {
  const struct {
    const char* line;
    RecipientVerdict verdict;
  } kRows[] = {
      {"250 ok", RecipientVerdict::kAccepted},
      {"251 will forward", RecipientVerdict::kAccepted},
      {"550 5.1.1 unknown user", RecipientVerdict::kRefused},
      {"553 5.1.3 bad address", RecipientVerdict::kRefused},
      {"550 no such user", RecipientVerdict::kRefused},
      {"501 syntax error in address", RecipientVerdict::kRefused},
      {"555 5.5.4 parameters", RecipientVerdict::kRefused},
      {"550 5.7.1 relaying denied", RecipientVerdict::kGroupFails},
      {"553 5.7.1 sender not allowed", RecipientVerdict::kGroupFails},
      {"530 5.7.0 authentication required", RecipientVerdict::kGroupFails},
      {"550 5.2.2 mailbox full", RecipientVerdict::kSkipped},
      {"450 4.2.0 greylisted", RecipientVerdict::kSkipped},
      {"452 too many recipients", RecipientVerdict::kSkipped},
      {"", RecipientVerdict::kSkipped},
      {"55", RecipientVerdict::kSkipped},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(ClassifyRecipientReply(row.line), row.verdict) << row.line;
  }
}

}  // namespace
}  // namespace pelrion::transport

namespace pelrion::transport {
namespace {

TEST(SmtpGroupsThreadTest, NetworkFailureIsReportedAndTheNextGroupStillGoesOut) {
  std::uint16_t closed_port = 0;
  {
    testing::RawListener gone;
    closed_port = gone.port();
  }
  ScriptedSmtpPeer peer(SmtpScript{{"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n",
                                    "354 go\r\n", "250 queued\r\n", "221 bye\r\n"},
                                   "", ""});
  validation::SendWork work;
  work.groups.push_back(Group(closed_port, false, {"a@x.test"}));
  work.groups.push_back(Group(peer.port(), false, {"b@x.test"}));
  work.groups[1].account_id = 4;
  WorkerJob job;
  Recorded recorded;
  std::string connect_failure;
  {
    NetConnection probe(10, 10, &job);
    probe.Create();
    connect_failure = ErrorText(testing::CaughtNetError(
        [&] { probe.ConnectTo("127.0.0.1", closed_port); }));
  }
  EXPECT_EQ(SendThread(job, work, recorded, recorded, 10).Run(), 0);
  EXPECT_EQ(recorded.errors, std::vector<std::string>{"Outgoing mail (SMTP) server '127.0.0.1': " +
                                                      connect_failure + "."});
  EXPECT_EQ(recorded.delivered, std::vector<std::string>{"b@x.test"});
  EXPECT_EQ(recorded.successes, 1);
  EXPECT_EQ(recorded.activities.back(), 7);
}

}  // namespace
}  // namespace pelrion::transport
