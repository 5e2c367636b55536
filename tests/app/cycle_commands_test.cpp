// check, offline, status and errors against a real mail cycle whose workers are played by the
// test: `check --wait` answers only once the cycle is idle, with the reports added meanwhile;
// nothing ever asks through the dialogs; commands keep working while a check runs.
#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "command_fixture.h"
#include "cycle/network_errors.h"
#include "stores_fixture.h"

namespace pelrion::apptest {
namespace {

using transport::MailProtocol;

// The running worker's part, played on a thread of its own as a real worker would: its
// reports reach the cycle through the main thread, which this (main) thread serves meanwhile.
void PlayWorker(CommandWorld& world,
                const std::function<void(transport::WorkerReports&)>& acts) {
  ASSERT_NE(world.workers.running_, nullptr);
  transport::WorkerReports& reports = *world.workers.running_;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    acts(reports);
    reports.Finished();
    done = true;
  });
  world.main_thread.RunUntil([&] { return done.load(); });
  worker.join();
  world.main_thread.PumpPending();
}

TEST(CycleCommandThreadTest, CheckWaitAnswersWhenIdleWithTheReportsAddedMeanwhile) {
  CommandWorld world;
  const std::uint32_t included = AddAccount(world.stores, 1001);
  const std::uint32_t excluded = AddAccount(world.stores, 1002);
  auto fields = *world.stores.accounts->CopyOf(excluded);
  fields.included = 0;
  world.stores.accounts->UpdateAccount(fields);
  world.cycle.AddNetworkError(cycle::MailServerKey(excluded, MailProtocol::kSmtp),
                              "an older failure");

  std::optional<platform::ControlReply> reply;
  world.Start({"check", "--wait"}, &reply);
  EXPECT_FALSE(reply.has_value());
  ASSERT_EQ(world.workers.checks.size(), 1u);
  EXPECT_EQ(world.workers.checks[0], std::vector<std::uint32_t>{included});

  // A command that arrives meanwhile is answered at once.
  const nlohmann::json status = world.Json({"status"});
  EXPECT_EQ(status["checking"], true);
  EXPECT_EQ(world.Run({"check"}).exit_code, 1);  // busy
  EXPECT_EQ(world.Run({"messages"}).exit_code, 0);

  world.workers.sending_due = true;
  PlayWorker(world, [&](transport::WorkerReports& reports) {
    reports.NetworkErrorReport("pop.example.org", included, MailProtocol::kPop3,
                               "The connection was refused.", "");
  });
  EXPECT_FALSE(reply.has_value()) << "answered before the sending that follows the check";
  EXPECT_EQ(world.workers.sendings, 1);
  PlayWorker(world, [](transport::WorkerReports&) {});

  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->exit_code, 1);
  EXPECT_NE(reply->output.find("   The connection was refused.\n"), std::string::npos)
      << reply->output;
  EXPECT_EQ(reply->output.find("an older failure"), std::string::npos);
  EXPECT_EQ(std::count(reply->output.begin(), reply->output.end(), '\n'), 1);
}

TEST(CycleCommandThreadTest, CheckWaitWithoutFailuresExitsZero) {
  CommandWorld world;
  const std::uint32_t account = AddAccount(world.stores);
  std::optional<platform::ControlReply> reply;
  world.Start({"check", "--account", std::to_string(account), "--wait"}, &reply);
  ASSERT_EQ(world.workers.checks.size(), 1u);
  PlayWorker(world, [&](transport::WorkerReports& reports) {
    reports.SuccessNotice("pop.example.org", account, MailProtocol::kPop3);
  });
  ASSERT_TRUE(reply.has_value());
  EXPECT_EQ(reply->exit_code, 0);
  EXPECT_EQ(reply->output, "");
}

TEST(CycleCommandTest, CheckNeverAsksAndRefusesWhileOfflineOrForAnUnknownAccount) {
  CommandWorld world;
  AddAccount(world.stores);
  ASSERT_EQ(world.Run({"offline", "on"}).exit_code, 0);
  EXPECT_EQ(world.Json({"status"})["offline"], true);

  struct Case {
    std::vector<std::string> words;
    std::string named;
  };
  for (const Case& c : {Case{{"check"}, "offline"}, Case{{"check", "--wait"}, "offline"},
                        Case{{"check", "--account", "77"}, "77"}}) {
    const platform::ControlReply reply = world.Run(c.words);
    EXPECT_NE(reply.exit_code, 0);
    EXPECT_NE(reply.errors.find(c.named), std::string::npos) << reply.errors;
    EXPECT_EQ(std::count(reply.errors.begin(), reply.errors.end(), '\n'), 1);
  }
  EXPECT_TRUE(world.workers.checks.empty());

  ASSERT_EQ(world.Run({"offline", "off"}).exit_code, 0);
  EXPECT_EQ(world.Json({"status"})["offline"], false);
}

TEST(CycleCommandTest, StatusAndErrorsShowTheReportsAndClearEmptiesThem) {
  CommandWorld world;
  world.cycle.AddNetworkError(cycle::MailServerKey(3, MailProtocol::kPop3),
                              "Caf\xE9 server said no");
  const nlohmann::json status = world.Json({"status"});
  for (const char* key :
       {"offline", "checking", "sending", "proxy_state", "listeners", "errors"}) {
    EXPECT_TRUE(status.contains(key)) << key;
  }
  EXPECT_EQ(status.size(), 6u);
  EXPECT_EQ(status["proxy_state"], "Mail Proxy: Down");
  EXPECT_TRUE(status["listeners"].empty());
  ASSERT_EQ(status["errors"].size(), 1u);
  EXPECT_EQ(status["errors"][0]["text"], "Caf\xC3\xA9 server said no");
  EXPECT_EQ(status["errors"][0]["time"], world.cycle.errors().reports()[0].time);

  const std::string line = cycle::FormatReportTime(world.cycle.errors().reports()[0].time) +
                           "   Caf\xE9 server said no\n";
  EXPECT_EQ(world.Run({"errors"}).output, line);
  EXPECT_EQ(world.Run({"errors"}).output, line);  // looking keeps them
  EXPECT_EQ(world.Run({"errors", "--clear"}).output, line);
  EXPECT_EQ(world.Run({"errors"}).output, "");
  EXPECT_TRUE(world.Json({"status"})["errors"].empty());
}

TEST(CycleCommandTest, ChangingTheCheckDelayRearmsTheCycleTimer) {
  CommandWorld world;
  EXPECT_FALSE(world.main_thread.TimerPeriod(cycle::kCycleTimer).has_value());
  for (const int minutes : {3, 7}) {
    ASSERT_EQ(world.Run({"set", "checkmail_delay", std::to_string(minutes)}).exit_code, 0);
    EXPECT_EQ(world.main_thread.TimerPeriod(cycle::kCycleTimer), minutes * 60000);
  }
}

}  // namespace
}  // namespace pelrion::apptest
