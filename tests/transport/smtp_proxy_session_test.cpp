// The SMTP relay session between a scripted mail program and a scripted SMTP server: what is
// relayed, what is answered locally, what ends the session, and the exact bytes of each
// message the server receives.
#include "transport/smtp_proxy_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "support/test_pki.h"
#include "transport/smtp_peer_helpers.h"
#include "transport/smtp_proxy_helpers.h"
#include "validation/request_marks.h"

namespace pelrion::transport {
namespace {

using testing::ScriptedSmtpPeer;
using testing::SmtpProxyWorld;

struct ConversationCase {
  const char* name;
  std::vector<std::string> server;  // the greeting, then one reply per command it receives
  std::string client;               // everything the mail program sends
  std::string transcript;           // everything it must receive
  std::vector<std::string> commands;  // what the server must receive
  NetError error;                   // what ends the session
  std::string until = "";           // the client hangs up once it received this
};

const std::string kStartTls(kStartTlsRefusal);
const std::string kBdat(kBdatRefusal);

TEST(SmtpProxySessionThreadTest, CommandsAndRepliesAreRelayedOrAnsweredLocally) {
  const ConversationCase cases[] = {
      {"multi-line greeting, then QUIT",
       {"220-mx.example hello\r\n220 ready\r\n", "221 bye\r\n"},
       "QUIT\r\n",
       "220-mx.example hello\r\n220 ready\r\n221 bye\r\n",
       {"QUIT"},
       kNetEnded},
      {"a refused QUIT goes on, a multi-line reply is relayed whole",
       {"220 mx\r\n", "500 not now\r\n", "214-help\r\n214 more\r\n", "221 bye\r\n"},
       "quit\r\nHELP\r\nQuit\r\n",
       "220 mx\r\n500 not now\r\n214-help\r\n214 more\r\n221 bye\r\n",
       {"quit", "HELP", "Quit"},
       kNetEnded},
      {"421 is passed on and ends the session; nothing more reaches the server",
       {"220 mx\r\n", "421 4.3.2 shutting down\r\n", "250 ok\r\n"},
       "NOOP\r\nNOOP\r\n",
       "220 mx\r\n421 4.3.2 shutting down\r\n",
       {"NOOP"},
       kNetEnded},
      {"STARTTLS from the mail program is answered here",
       {"220 mx\r\n", "221 bye\r\n"},
       "STARTTLS\r\nQUIT\r\n",
       "220 mx\r\n" + kStartTls + "221 bye\r\n",
       {"QUIT"},
       kNetEnded},
      {"BDAT is answered here and ends the session before its chunk is read",
       {"220 mx\r\n", "250 ok\r\n"},
       "bdat 9 LAST\r\nRSET\r\n\r\n",
       "220 mx\r\n" + kBdat,
       {},
       kNetEnded},
      {"EHLO replies lose STARTTLS, CHUNKING and BINARYMIME; other replies stay as they are",
       {"220 mx\r\n", "250-mx\r\n250-STARTTLS\r\n250-SIZE 10\r\n250 CHUNKING\r\n",
        "250-mx\r\n250-BINARYMIME\r\n250 8BITMIME\r\n", "214-STARTTLS\r\n214 CHUNKING\r\n",
        "221 bye\r\n"},
       "EHLO me\r\nehlo me\r\nHELP\r\nQUIT\r\n",
       "220 mx\r\n250-mx\r\n250 SIZE 10\r\n250-mx\r\n250 8BITMIME\r\n"
       "214-STARTTLS\r\n214 CHUNKING\r\n221 bye\r\n",
       {"EHLO me", "ehlo me", "HELP", "QUIT"},
       kNetEnded},
      {"after an X command every byte is relayed, STARTTLS included",
       {"220 mx\r\n", "250 x ok\r\n", "454 no TLS\r\n", "221 bye\r\n"},
       "xexch50 1\r\nSTARTTLS\r\nQUIT\r\n",
       "220 mx\r\n250 x ok\r\n454 no TLS\r\n221 bye\r\n",
       {"xexch50 1", "STARTTLS", "QUIT"},
       kNetEnded,
       "221 bye\r\n"},
  };
  for (const ConversationCase& row : cases) {
    SCOPED_TRACE(row.name);
    SmtpProxyWorld proxy;
    testing::SmtpScript script;
    script.replies = row.server;
    ScriptedSmtpPeer server(script);
    proxy.PointAt(server.port());
    const testing::ProxyOutcome outcome = proxy.Converse(row.client, row.until);
    EXPECT_EQ(outcome.transcript, row.transcript);
    EXPECT_EQ(NetOperationOf(outcome.error), row.error);
    EXPECT_EQ(server.Commands(), row.commands);
  }
}

TEST(SmtpProxySessionThreadTest, AnUnreachableServerClosesTheClientWithoutAWord) {
  SmtpProxyWorld proxy;
  std::uint16_t closed_port = 0;
  {
    testing::RawListener gone;
    closed_port = gone.port();
  }
  proxy.PointAt(closed_port);
  const testing::ProxyOutcome outcome = proxy.Converse("EHLO me\r\n");
  EXPECT_EQ(outcome.transcript, "");
  EXPECT_EQ(NetOperationOf(outcome.error), kNetConnect);
}

struct TlsCase {
  const char* name;
  TlsMode mode;
  bool implicit;                    // the server speaks TLS from the first byte
  std::vector<std::string> server;
  std::vector<std::string> commands;
};

// The mail program sees the server's first greeting and its own replies only; the relay's
// EHLO and STARTTLS stay between it and the server, and the rest goes over TLS.
TEST(SmtpProxySessionThreadTest, TheUpstreamIsProtectedBeforeTheGreetingIsPassedOn) {
  const TlsCase cases[] = {
      {"STARTTLS",
       TlsMode::kUpgradeRequired,
       false,
       {"220 first\r\n", "250-mx\r\n250 STARTTLS\r\n", "220 go ahead\r\n", "250 mx\r\n",
        "221 bye\r\n"},
       {"EHLO relayhost", "STARTTLS", "EHLO me", "QUIT"}},
      {"implicit TLS",
       TlsMode::kImplicit,
       true,
       {"220 first\r\n", "250 mx\r\n", "221 bye\r\n"},
       {"EHLO me", "QUIT"}},
  };
  test_support::TestPki pki;
  for (const TlsCase& row : cases) {
    SCOPED_TRACE(row.name);
    SmtpProxyWorld proxy;
    testing::SmtpScript script;
    script.replies = row.server;
    script.certificate = pki.valid.certificate;
    script.key = pki.valid.key;
    script.implicit_tls = row.implicit;
    ScriptedSmtpPeer server(script);
    proxy.PointAt(server.port(), row.mode, pki.ca);
    const testing::ProxyOutcome outcome = proxy.Converse("EHLO me\r\nQUIT\r\n");
    EXPECT_EQ(outcome.transcript, "220 first\r\n250 mx\r\n221 bye\r\n");
    EXPECT_EQ(NetOperationOf(outcome.error), kNetEnded);
    EXPECT_EQ(server.Commands(), row.commands);
  }
}

// Where the policy demands TLS and the server does not offer it, the mail program is told so
// instead of seeing a greeting, and nothing of its own reaches the server.
TEST(SmtpProxySessionThreadTest, AServerWithoutStartTlsUnderARequiringPolicyIsRefused) {
  SmtpProxyWorld proxy;
  testing::SmtpScript script;
  script.replies = {"220 mx\r\n", "250-mx\r\n250 SIZE 10\r\n", "250 ok\r\n"};
  ScriptedSmtpPeer server(script);
  proxy.PointAt(server.port(), TlsMode::kUpgradeRequired);
  const testing::ProxyOutcome outcome = proxy.Converse("EHLO me\r\n");
  EXPECT_EQ(outcome.transcript, std::string(kUnprotectedRefusal));
  EXPECT_EQ(NetOperationOf(outcome.error), kNetTlsRequired);
  EXPECT_EQ(server.Commands(), std::vector<std::string>{"EHLO relayhost"});
}

// One message through the relay: the server's script and what the client says around it.
struct Sent {
  std::string transcript;
  std::string received;  // the message as the server got it, without the end-of-data line
  std::vector<std::string> commands;
};

Sent SendThrough(SmtpProxyWorld& proxy, const std::string& message) {
  testing::SmtpScript script;
  script.replies = {"220 mx\r\n",       "250 mx\r\n",       "250 ok\r\n",  "250 ok\r\n",
                    "354 go ahead\r\n", "250 queued\r\n", "221 bye\r\n"};
  ScriptedSmtpPeer server(script);
  proxy.PointAt(server.port());
  Sent sent;
  sent.transcript = proxy
                        .Converse("EHLO me\r\nMAIL FROM:<me@example.org>\r\n"
                                  "RCPT TO:<ann@example.org>\r\nDATA\r\n" +
                                  message + "QUIT\r\n")
                        .transcript;
  const std::vector<std::string> messages = server.Messages();
  if (messages.size() == 1) sent.received = messages[0];
  sent.commands = server.Commands();
  return sent;
}

const std::string kWholeTranscript =
    "220 mx\r\n250 mx\r\n250 ok\r\n250 ok\r\n354 go ahead\r\n250 queued\r\n221 bye\r\n";

bool IsUpperHex(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
  });
}

// Checks the new first line and returns the rest of the message after it. (No std::regex:
// GCC 12 warns inside <regex> in the sanitizer build, where warnings are errors.)
std::string AfterNewMessageId(const std::string& received, const std::string& subject) {
  std::string signature = validation::SignSubject(subject);
  while (signature.back() == '=') signature.pop_back();
  const std::string head = "Message-id: <KVX.U-" + std::string(testing::kInstallationId) +
                           ".S-" + signature + ".";
  const std::string tail = "@" + std::string(testing::kProxyHostName) + ">\r\n";
  const std::size_t end = received.find("\r\n");
  const std::string line = received.substr(0, end + 2);
  // Between them: a random number and the time, 8 upper-case hexadecimal digits each.
  const bool shaped = line.size() == head.size() + 16 + tail.size() && line.starts_with(head) &&
                      line.ends_with(tail) && IsUpperHex(std::string_view(line).substr(head.size(), 16));
  EXPECT_TRUE(shaped) << line;
  if (shaped) {
    const long stamped = std::stol(line.substr(head.size() + 8, 8), nullptr, 16);
    EXPECT_LE(std::labs(stamped - static_cast<long>(std::time(nullptr))), 60);
  }
  return received.substr(end + 2);
}

std::string Stamps(const std::string& subject) {
  return "X-KVX-Signature: " + validation::SignSubject(subject) + "\r\nX-KVX-UUID: " +
         testing::kInstallationId + "\r\n";
}

TEST(SmtpProxySessionThreadTest, AMessageArrivesStampedWithItsBodyByteForByte) {
  SmtpProxyWorld proxy;
  proxy.trust_recipients = false;
  std::string body = "..a line the client dot-stuffed\r\n\r\nTo: not a header\r\n";
  for (int i = 0; i < 3000; ++i) body += "line " + std::to_string(i) + " of a long body\r\n";
  const std::string headers =
      "From: Me <me@example.org>\r\n"
      "Message-ID: <old@client.example>\r\n"
      "Subject: Lunch\r\n\ttomorrow\r\n"
      "To: Ann <ann@example.org>\r\n";
  const Sent sent = SendThrough(proxy, headers + "\r\n" + body + ".\r\n");
  EXPECT_EQ(sent.transcript, kWholeTranscript);
  EXPECT_EQ(AfterNewMessageId(sent.received, "Lunch tomorrow"),
            "From: Me <me@example.org>\r\n"
            "Subject: Lunch\r\n tomorrow\r\n"
            "To: Ann <ann@example.org>\r\n" +
                Stamps("Lunch tomorrow") + "\r\n" + body);
  EXPECT_EQ(proxy.ListOf("ann@example.org"), 0u);
}

// Such a message has no body; its stamps end it, and no empty line is added.
TEST(SmtpProxySessionThreadTest, AHeaderOnlyMessageIsStampedAndStillEnded) {
  SmtpProxyWorld proxy;
  const Sent sent = SendThrough(proxy, "Subject: hi\r\nMessage-Id: <x@y>\r\nTo: a@b.example\r\n.\r\n");
  EXPECT_EQ(sent.transcript, kWholeTranscript);
  EXPECT_EQ(AfterNewMessageId(sent.received, "hi"),
            "Subject: hi\r\nTo: a@b.example\r\n" + Stamps("hi"));
  EXPECT_EQ(sent.commands.back(), "QUIT");
}

// The body is copied in pieces as it arrives; an end line written with a bare LF still ends
// it (as a line reader reads it), goes on as ".\r\n", and the command behind it is not lost.
TEST(SmtpProxySessionThreadTest, ABareLineFeedEndLineEndsTheMessageForTheServerToo) {
  SmtpProxyWorld proxy;
  const Sent sent = SendThrough(proxy, "Subject: hi\r\n\r\nbody\r\n.\n");
  EXPECT_EQ(sent.transcript, kWholeTranscript);
  EXPECT_EQ(AfterNewMessageId(sent.received, "hi"), "Subject: hi\r\n" + Stamps("hi") + "\r\nbody\r\n");
  EXPECT_EQ(sent.commands.back(), "QUIT");
}

TEST(SmtpProxySessionThreadTest, AHeaderBlockPastTheLimitIsPassedOnUnstamped) {
  SmtpProxyWorld proxy;
  std::string message = "Subject: big\r\nMessage-ID: <keep@client>\r\n";
  const std::string pad = "X-Pad: " + std::string(1000, 'p') + "\r\n";
  while (message.size() <= kProxyHeaderLimit) message += pad;
  message += "X-Last: field\r\n\r\nbody\r\n";
  const Sent sent = SendThrough(proxy, message + ".\r\n");
  EXPECT_EQ(sent.transcript, kWholeTranscript);
  EXPECT_TRUE(sent.received == message) << "the message changed on the way";
}

TEST(SmtpProxySessionThreadTest, RecipientsBecomeTrustedUnlessBlackListedOrSwitchedOff) {
  const std::string message =
      "To: Ann <ann@example.org>, black@example.org\r\n"
      "Cc: cy@example.net\r\nSubject: s\r\n\r\nbody\r\n.\r\n";
  for (const bool trust : {true, false}) {
    SCOPED_TRACE(trust ? "trustrcpt on" : "trustrcpt off");
    SmtpProxyWorld proxy;
    proxy.trust_recipients = trust;
    proxy.AddContact("black@example.org", 1);
    const Sent sent = SendThrough(proxy, message);
    EXPECT_EQ(sent.transcript, kWholeTranscript);
    const std::uint32_t trusted = trust ? 1 : 0;
    EXPECT_EQ(proxy.ListOf("ann@example.org"), trusted);
    EXPECT_EQ(proxy.ListOf("cy@example.net"), trusted);
    EXPECT_EQ(proxy.ListOf("black@example.org"), 2u);
  }
}

}  // namespace
}  // namespace pelrion::transport
