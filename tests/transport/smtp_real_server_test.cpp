// The sending worker against a real SMTP server (aiosmtpd on 127.0.0.1): held senders'
// requests go out from a real quarantine, arrive with exactly the composer's bytes and the
// right envelope, over TLS and with a log-in where the server demands them, and the
// quarantine records each delivery.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/main_thread.h"
#include "platform/registry.h"
#include "transport/listener_tls_settings.h"
#include "transport/send_thread.h"
#include "transport/send_tls_copy.h"
#include "transport/smtp_compose_helpers.h"
#include "transport/smtp_recorded_send.h"
#include "transport/smtp_recording_server_helpers.h"
#include "transport/tls_test_helpers.h"
#include "validation/main_thread_quarantine_events.h"
#include "validation/message_status.h"
#include "validation/quarantine_world.h"
#include "validation/send_queue.h"
#include "validation/send_work.h"

namespace pelrion::transport {
namespace {

using testing::RecordedMessage;
using testing::RecordingServerOptions;
using testing::RecordingSmtpServer;

constexpr char kUser[] = "jo.user";
constexpr char kPassword[] = "s3cret pass";
constexpr char kAccountAddress[] = "me@example.test";
const std::vector<std::string> kSenders = {"first@example.net", "second@example.net"};

struct RealServerCase {
  const char* name;
  TlsMode mode;         // the SMTP listener's policy
  bool server_tls;      // the server offers STARTTLS and refuses mail without it
  bool authentication;  // the server refuses mail without a log-in; the account has the flag
};

// Test names and failure messages show the row's name, not its bytes.
void PrintTo(const RealServerCase& row, std::ostream* out) { *out << row.name; }

const RealServerCase kCases[] = {
    {"Plain", TlsMode::kAutomatic, false, false},
    {"StartTlsRequired", TlsMode::kUpgradeRequired, true, false},
    {"AuthLogin", TlsMode::kNever, false, true},
    {"AuthLoginAfterStartTls", TlsMode::kAutomatic, true, true},
};

class SmtpRealServerThreadTest : public ::testing::TestWithParam<RealServerCase> {};

TEST_P(SmtpRealServerThreadTest, HeldSendersRequestsArriveAsComposedAndAreRecordedAsSent) {
  const RealServerCase& row = GetParam();
  testing_tls::TestPki pki;
  RecordingServerOptions options;
  if (row.server_tls) options = {pki.valid.certificate, pki.valid.key, "", ""};
  if (row.authentication) {
    options.user = kUser;
    options.password = kPassword;
  }
  RecordingSmtpServer server(options);
  ASSERT_NE(server.port(), 0);

  // Two unknown senders held in a real quarantine of one account.
  validation::testing::QuarantineWorld world;
  world.preferences = testing::TemplatesWithLeadingDots();
  const std::uint32_t account = world.AddAccount(kAccountAddress);
  store::MailAccount fields = *world.accounts->CopyOf(account);
  fields.smtp_authentication = row.authentication ? 1 : 0;
  fields.smtp_user_name.Set(kUser);
  fields.smtp_password.Set(kPassword);
  ASSERT_TRUE(world.accounts->UpdateAccount(fields));
  std::map<std::string, store::MessageRecord*> held;
  for (const std::string& sender : kSenders) held[sender] = world.FileHeld(account, sender);

  // The copy the program gives the thread, its SMTP listener pointed at the local server.
  validation::SendQueue queue;
  const validation::SendQueueStores stores{*world.messages, *world.accounts, *world.listeners};
  ASSERT_TRUE(validation::BuildSendQueue(queue, *world.list, stores));
  ASSERT_EQ(queue.groups.size(), 1u);
  queue.groups[0].smtp_listener->server_host.Set("127.0.0.1");
  queue.groups[0].smtp_listener->server_port = server.port();
  validation::SendWork work = validation::CopySendWork(queue, world.preferences);
  platform::MemoryRegistry registry;
  ASSERT_TRUE(WriteListenerTlsSettings(registry, work.groups[0].smtp_listener_id, {row.mode, ""}));
  ASSERT_TRUE(registry.SetString(platform::kProgramKey, "TlsCaFile", pki.ca));
  CopySendTls(work, registry);

  platform::PlainMainThread main_thread;
  validation::MainThreadQuarantineEvents outcomes(main_thread, *world.quarantine);
  testing::RecordedSend reports;
  WorkerJob job;
  std::atomic<bool> done{false};
  int code = -1;
  std::thread worker([&] {
    code = SendThread(job, work, reports, outcomes, 30).Run();
    done = true;
  });
  main_thread.RunUntil([&] { return done.load(); });
  worker.join();
  validation::ReleaseSendQueue(queue, stores);

  EXPECT_EQ(code, 0);
  EXPECT_EQ(reports.errors, std::vector<std::string>{});
  EXPECT_EQ(reports.successes, 1);

  // One message per request, each with exactly the bytes the composer writes for it.
  std::map<std::string, RecordedMessage> arrived;
  for (const RecordedMessage& message : server.Messages()) {
    ASSERT_EQ(message.recipients.size(), 1u);
    arrived[message.recipients[0]] = message;
  }
  ASSERT_EQ(arrived.size(), kSenders.size());
  for (const validation::RequestWork& request : work.groups[0].requests) {
    const std::string& sender = request.facts.sender_address;
    SCOPED_TRACE(sender);
    ASSERT_EQ(arrived.count(sender), 1u);
    const RecordedMessage& message = arrived[sender];
    EXPECT_EQ(message.mail_from, kAccountAddress);
    EXPECT_EQ(testing::WithoutUniqueValues(message.data), testing::Composed(request, work.settings));
    EXPECT_EQ(message.over_tls, row.server_tls);
    EXPECT_EQ(message.authenticated, row.authentication);
    EXPECT_EQ(held[sender]->status, validation::kStatusAwaitingReply);
    EXPECT_NE(held[sender]->request_sent_time, 0);
  }
  const std::vector<std::string> expected_logins =
      row.authentication ? std::vector<std::string>{std::string("LOGIN ") + kUser + " " + kPassword}
                         : std::vector<std::string>{};
  EXPECT_EQ(server.Logins(), expected_logins);
}

INSTANTIATE_TEST_SUITE_P(Aiosmtpd, SmtpRealServerThreadTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelrion::transport
