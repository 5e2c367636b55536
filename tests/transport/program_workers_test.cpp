// The mail cycle with the program's real workers, over real stores, against a scripted POP3
// server and a real SMTP server: what one timer tick does from the download to the
// authorization requests, and how a refused log-in is reported and later cleared.
#include "app/program_workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cycle/mail_cycle.h"
#include "platform/dialogs.h"
#include "transport/check_world_helpers.h"
#include "transport/listener_tls_settings.h"
#include "transport/pop3_peer_helpers.h"
#include "transport/smtp_recording_server_helpers.h"
#include "validation/message_status.h"

namespace pelrion::app {
namespace {

using transport::testing::CheckWorld;
using transport::testing::MailText;
using transport::testing::Pop3Script;
using transport::testing::RecordingSmtpServer;
using transport::testing::ScriptedPop3Peer;

class CountingView : public cycle::CycleView {
 public:
  void ActivityChanged(std::string_view) override {}
  void StatusChanged(const transport::StatusRecord&) override {}
  void ReportAdded(const cycle::NetworkErrorReport& report) override {
    added.push_back(report.text);
  }
  void IndicatorsChanged(bool, bool) override {}

  std::vector<std::string> added;
};

std::string FromStranger(int n) {
  const std::string who = "stranger" + std::to_string(n) + "@far.example";
  return MailText({"From: " + who, "To: me@home.example", "Subject: hello " + std::to_string(n),
                   "Message-ID: <" + std::to_string(n) + "@far.example>"},
                  {"a message from " + who});
}

// Real stores, one account whose POP3 server is the scripted peer and whose SMTP server is
// the recording one, and the cycle with the program's workers over them.
class CycleWorld {
 public:
  CycleWorld(std::uint16_t pop3_port, std::uint16_t smtp_port) {
    store::MailAccount fields;
    fields.pop3_listener_id = world.stores.listeners->FindOrCreateListener(
        "127.0.0.1", pop3_port, store::ListenerProtocol::kPop3, /*start=*/false);
    fields.smtp_listener_id = world.stores.listeners->FindOrCreateListener(
        "127.0.0.1", smtp_port, store::ListenerProtocol::kSmtp, /*start=*/false);
    fields.pop3_user_name.Set("jo");
    fields.pop3_password.Set("secret");
    fields.email_address.Set("me@home.example");
    fields.friendly_name.Set("Home");
    transport::WriteListenerTlsSettings(world.registry, fields.pop3_listener_id,
                                        {transport::TlsMode::kNever, ""});
    transport::WriteListenerTlsSettings(world.registry, fields.smtp_listener_id,
                                        {transport::TlsMode::kNever, ""});
    account = world.stores.accounts->AddAccount(fields);
  }

  // Waits, serving the workers' calls, until the cycle is idle again.
  void WaitUntilIdle() {
    bool idle = false;
    cycle.WhenIdle([&idle] { idle = true; });
    world.main_thread().WaitServing([&idle] { return idle; });
  }
  std::vector<std::string> Reports() const {
    std::vector<std::string> texts;
    for (const auto& report : cycle.errors().reports()) texts.push_back(report.text);
    return texts;
  }

  CheckWorld world;
  std::uint32_t account = 0;
  platform::HeadlessDialogs dialogs;
  CountingView view;
  ProgramWorkers workers{world.main_thread(), world.stores, world.registry, world.preferences,
                         WorkerSettings{world.folder(), world.folder(), "USR0000BEEF", 20}};
  cycle::MailCycle cycle{
      {world.main_thread(), dialogs, world.registry, world.preferences, workers, view}};
};

TEST(ProgramWorkersThreadTest, TickFilesTheMailThenSendsTheRequestsAndGoesIdle) {
  Pop3Script script;
  script.messages = {FromStranger(1), FromStranger(2)};
  ScriptedPop3Peer pop3(script);
  RecordingSmtpServer smtp({});
  ASSERT_NE(smtp.port(), 0);
  CycleWorld w(pop3.port(), smtp.port());
  // An account left out of the cycle: its server is never contacted.
  Pop3Script other_script;
  other_script.messages = {FromStranger(3)};
  ScriptedPop3Peer other(other_script);
  store::MailAccount excluded = *w.world.stores.accounts->CopyOf(w.account);
  excluded.id = 0;
  excluded.included = 0;
  excluded.friendly_name.Set("Away");
  excluded.pop3_listener_id = w.world.stores.listeners->FindOrCreateListener(
      "127.0.0.1", other.port(), store::ListenerProtocol::kPop3, /*start=*/false);
  w.world.stores.accounts->AddAccount(excluded);

  w.cycle.CycleTick();
  EXPECT_TRUE(w.cycle.checking());
  w.WaitUntilIdle();

  EXPECT_TRUE(other.Commands().empty());
  EXPECT_EQ(other.Mailbox().size(), 1u);
  EXPECT_TRUE(w.Reports().empty());
  EXPECT_TRUE(w.view.added.empty());
  EXPECT_TRUE(pop3.Mailbox().empty());
  const std::vector<store::MessageRecord*> records = w.world.Records();
  ASSERT_EQ(records.size(), 2u);
  for (const store::MessageRecord* record : records) {
    EXPECT_EQ(record->status, validation::kStatusAwaitingReply) << "held, its request accepted";
    EXPECT_EQ(record->references, 1) << "the send queue gave its reference back";
  }
  std::vector<std::string> recipients;
  for (const auto& message : smtp.Messages()) {
    recipients.insert(recipients.end(), message.recipients.begin(), message.recipients.end());
  }
  std::sort(recipients.begin(), recipients.end());
  EXPECT_EQ(recipients,
            (std::vector<std::string>{"stranger1@far.example", "stranger2@far.example"}));

  // The next tick finds nothing new and sends nothing again.
  w.cycle.CycleTick();
  w.WaitUntilIdle();
  EXPECT_EQ(smtp.Messages().size(), 2u);
  EXPECT_TRUE(w.Reports().empty());
}

TEST(ProgramWorkersThreadTest, RefusedPasswordIsReportedOnceUntilAGoodCheckClearsIt) {
  Pop3Script script;
  script.messages = {FromStranger(1)};
  // The first connection is refused, the next ones log in.
  script.answers["PASS secret"] = "-ERR [AUTH] Authentication failed.\r\n";
  ScriptedPop3Peer pop3(script);
  RecordingSmtpServer smtp({});
  ASSERT_NE(smtp.port(), 0);
  CycleWorld w(pop3.port(), smtp.port());

  w.cycle.CycleTick();
  w.WaitUntilIdle();
  EXPECT_EQ(w.Reports(), (std::vector<std::string>{
                             "Incoming mail (POP3) server '127.0.0.1': [AUTH] Authentication "
                             "failed."}));
  EXPECT_EQ(w.view.added.size(), 1u);
  EXPECT_TRUE(w.world.Records().empty());
  EXPECT_EQ(pop3.Mailbox().size(), 1u);

  EXPECT_EQ(w.cycle.RequestCheck(std::nullopt), cycle::CheckStart::kStarted);
  w.WaitUntilIdle();
  EXPECT_TRUE(w.Reports().empty());
  EXPECT_EQ(w.world.Records().size(), 1u);
  EXPECT_EQ(smtp.Messages().size(), 1u);
}

// Exit during a check: the stop reaches the session blocked on its server, the thread ends
// within the bound and nothing is reported.
TEST(ProgramWorkersThreadTest, ShutdownStopsACheckBlockedOnItsServer) {
  Pop3Script script;
  script.messages = {FromStranger(1)};
  script.answers["STAT"] = transport::testing::kStall;
  ScriptedPop3Peer pop3(script);
  CycleWorld w(pop3.port(), pop3.port());

  w.cycle.CycleTick();
  w.world.main_thread().WaitServing([&pop3] {
    const std::vector<std::string> commands = pop3.Commands();
    return std::find(commands.begin(), commands.end(), "STAT") != commands.end();
  });

  EXPECT_TRUE(w.cycle.StopForShutdown());
  EXPECT_FALSE(w.workers.ThreadAlive());
  EXPECT_TRUE(w.cycle.idle());
  EXPECT_TRUE(w.Reports().empty());
  EXPECT_TRUE(w.world.Records().empty());
  EXPECT_EQ(pop3.Mailbox().size(), 1u);
}

}  // namespace
}  // namespace pelrion::app
