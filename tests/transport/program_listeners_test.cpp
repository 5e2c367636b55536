// The listeners as the program wires them (listener threads, the local POP3 server and the
// SMTP relay over the real stores), driven by Python's poplib and smtplib on 127.0.0.1.

#include "app/program_listeners.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "transport/pop3_server_helpers.h"
#include "transport/smtp_recording_server_helpers.h"
#include "transport/socket_helpers.h"

namespace pelrion::app {
namespace {

using transport::testing::Pop3ServerWorld;

class NoReports : public transport::ListenerReports {
 public:
  void ListenerListening(std::uint32_t) override {}
  void ListenerFailed(std::uint32_t, const std::string& text) override { ADD_FAILURE() << text; }
};

// Runs the script with the system's Python on a thread while the main thread serves the
// store calls the sessions make; its output.
test_support::RunResult RunPython(platform::MainThread& main_thread, const std::string& script) {
  test_support::TempDir dir;
  test_support::WriteFile(dir / "client.py", script);
  test_support::RunResult result;
  std::atomic<bool> done{false};
  std::thread client([&] {
    result = test_support::RunCommand("/usr/bin/python3 " + test_support::ShellQuote(dir / "client.py"));
    done = true;
  });
  main_thread.WaitServing([&] { return done.load(); });
  client.join();
  return result;
}

TEST(ProgramListenersThreadTest, MailProgramReadsTheInboxAndSendsThroughTheRelay) {
  Pop3ServerWorld pop3;
  auto& world = pop3.world;
  const std::uint32_t account = pop3.AddAccount(110, "jo", "secret");
  const std::vector<std::string> inbox = {
      "From: friend@example.org\r\nSubject: one\r\n\r\n.a dotted line\r\nend\r\n",
      "From: friend@example.org\r\nSubject: two\r\n\r\nsecond\r\n"};
  pop3.FileInboxInOrder(account, inbox);

  transport::testing::RecordingSmtpServer real_smtp({});
  ASSERT_NE(real_smtp.port(), 0);
  store::MailAccount fields = *world.stores.accounts->CopyOf(account);
  const std::uint32_t pop3_listener = fields.pop3_listener_id;
  const std::uint32_t smtp_listener = world.stores.listeners->FindOrCreateListener(
      "127.0.0.1", real_smtp.port(), store::ListenerProtocol::kSmtp, /*start=*/false);
  const std::uint16_t pop3_port = transport::testing::FreePort();
  const std::uint16_t smtp_port = transport::testing::FreePort();
  ASSERT_TRUE(world.stores.listeners->SetLocalEndpoint(pop3_listener, 0x7F000001, pop3_port));
  ASSERT_TRUE(world.stores.listeners->SetLocalEndpoint(smtp_listener, 0x7F000001, smtp_port));

  NoReports reports;
  ProgramListeners listeners(world.main_thread(), world.stores, world.registry, world.preferences,
                             reports, {world.folder(), "USR0000BEEF", "pelrion.test"});
  listeners.threads().StartListener(pop3_listener);
  listeners.threads().StartListener(smtp_listener);
  EXPECT_EQ(listeners.threads().ProxyState(), "Mail Proxy: Listening...");

  const auto read = RunPython(world.main_thread(), R"(
import poplib, sys
box = poplib.POP3("127.0.0.1", )" + std::to_string(pop3_port) + R"()
box.user("jo"); box.pass_("secret")
for n in range(1, len(box.list()[1]) + 1):
    lines = box.retr(n)[1]
    sys.stdout.buffer.write(b"".join(line + b"\r\n" for line in lines) + b"=====\n")
box.quit()
)");
  ASSERT_EQ(read.status, 0) << read.out;
  EXPECT_EQ(read.out, inbox[0] + "=====\n" + inbox[1] + "=====\n");

  const auto sent = RunPython(world.main_thread(), R"(
import smtplib
relay = smtplib.SMTP("127.0.0.1", )" + std::to_string(smtp_port) + R"()
relay.sendmail("jo@home.example", ["pal@example.net"],
               "From: jo@home.example\r\nTo: Pal <pal@example.net>\r\nMessage-ID: <old@x>\r\nSubject: hi\r\n\r\nbody\r\n")
relay.quit()
)");
  ASSERT_EQ(sent.status, 0) << sent.out;
  const auto recorded = real_smtp.Messages();
  ASSERT_EQ(recorded.size(), 1u);
  EXPECT_EQ(recorded[0].data.rfind("Message-id: <KVX.U-USR0000BEEF.S-", 0), 0u) << recorded[0].data;
  EXPECT_NE(recorded[0].data.find("X-KVX-UUID: USR0000BEEF\r\n\r\nbody\r\n"), std::string::npos);
  EXPECT_EQ(recorded[0].data.find("<old@x>"), std::string::npos);
  // "trustrcpt" is on by default: the recipient is now a trusted contact.
  EXPECT_NE(world.stores.address_lists->LookupAddress("pal@example.net", 1), 0u);

  listeners.threads().StopAll();
  EXPECT_EQ(listeners.threads().ProxyState(), "Mail Proxy: Down");
}

}  // namespace
}  // namespace pelrion::app
