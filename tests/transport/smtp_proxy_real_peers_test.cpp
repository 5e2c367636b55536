// A real mail program's library (Python's smtplib) sends through the relay to a real SMTP
// server (aiosmtpd), plain and to a server that takes mail only over STARTTLS: the message
// arrives stamped with its body byte for byte, the envelope unchanged, and the mail program
// never hears of STARTTLS.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"
#include "transport/smtp_proxy_helpers.h"
#include "transport/smtp_recording_server_helpers.h"
#include "validation/request_marks.h"

namespace pelrion::transport {
namespace {

using testing::RecordedMessage;
using testing::RecordingServerOptions;
using testing::RecordingSmtpServer;
using testing::SmtpProxyWorld;

// argv: port message-file. Exit 3 when the relay offered STARTTLS or CHUNKING.
constexpr char kClient[] = R"PY(
import smtplib, sys
port, path = int(sys.argv[1]), sys.argv[2]
message = open(path, "rb").read()
client = smtplib.SMTP("127.0.0.1", port, timeout=30)
client.ehlo("client.example")
if client.has_extn("starttls") or client.has_extn("chunking"):
    sys.exit(3)
client.sendmail("me@example.org", ["ann@example.org", "bob@example.org"], message)
client.quit()
)PY";

const std::string kHeaders =
    "From: Me <me@example.org>\r\n"
    "To: Ann <ann@example.org>,\r\n\tBob <bob@example.org>\r\n"
    "Message-ID: <old@client.example>\r\n"
    "Subject: Quarterly\r\n figures\r\n";
const std::string kBody = ".starts with a dot\r\n\r\nsecond paragraph\r\n..two dots\r\n";

struct PeerCase {
  const char* name;
  bool server_requires_tls;
  TlsMode mode;
};

class SmtpProxyRealPeersThreadTest : public ::testing::TestWithParam<PeerCase> {};

TEST_P(SmtpProxyRealPeersThreadTest, SmtplibSendsThroughTheRelayAndTheMessageArrivesStamped) {
  const PeerCase& row = GetParam();
  test_support::TestPki pki;
  RecordingServerOptions options;
  if (row.server_requires_tls) {
    options.certificate = pki.valid.certificate;
    options.key = pki.valid.key;
  }
  RecordingSmtpServer server(options);
  ASSERT_NE(server.port(), 0);

  SmtpProxyWorld proxy;
  proxy.PointAt(server.port(), row.mode, pki.ca);
  const std::uint16_t port = proxy.ServeInBackground();

  test_support::TempDir dir;
  const std::string script = dir.path() + "/client.py";
  const std::string message_file = dir.path() + "/message.eml";
  test_support::WriteFile(script, kClient);
  test_support::WriteFile(message_file, kHeaders + "\r\n" + kBody);
  std::atomic<bool> done{false};
  test_support::RunResult result;
  std::thread client([&] {
    result = test_support::RunCommand(test_support::ShellCommand(
        "/usr/bin/python3", {script, std::to_string(port), message_file}));
    done = true;
  });
  proxy.world.main_thread().WaitServing([&] { return done.load(); });
  client.join();
  proxy.WaitForSessions(1);
  ASSERT_EQ(result.status, 0);

  const std::vector<RecordedMessage> messages = server.Messages();
  ASSERT_EQ(messages.size(), 1u);
  const RecordedMessage& got = messages[0];
  EXPECT_EQ(got.over_tls, row.server_requires_tls);
  EXPECT_EQ(got.mail_from, "me@example.org");
  EXPECT_EQ(got.recipients, (std::vector<std::string>{"ann@example.org", "bob@example.org"}));

  const std::string signature = validation::SignSubject("Quarterly figures");
  std::string trimmed = signature;
  while (trimmed.back() == '=') trimmed.pop_back();
  const std::string first_line_start =
      "Message-id: <KVX.U-" + std::string(testing::kInstallationId) + ".S-" + trimmed + ".";
  ASSERT_TRUE(got.data.starts_with(first_line_start)) << got.data;
  const std::string rest = got.data.substr(got.data.find("\r\n") + 2);
  EXPECT_EQ(rest,
            "From: Me <me@example.org>\r\n"
            "To: Ann <ann@example.org>,\r\n Bob <bob@example.org>\r\n"
            "Subject: Quarterly\r\n figures\r\n"
            "X-KVX-Signature: " + signature + "\r\nX-KVX-UUID: " + testing::kInstallationId +
                "\r\n\r\n" + kBody);
  // Both recipients became trusted contacts.
  EXPECT_EQ(proxy.ListOf("ann@example.org"), 1u);
  EXPECT_EQ(proxy.ListOf("bob@example.org"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Peers, SmtpProxyRealPeersThreadTest,
                         ::testing::Values(PeerCase{"Plain", false, TlsMode::kNever},
                                           PeerCase{"StartTlsOnlyServer", true,
                                                    TlsMode::kUpgradeRequired},
                                           PeerCase{"AutomaticUpgrades", true,
                                                    TlsMode::kAutomatic}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelrion::transport
