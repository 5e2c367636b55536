#include "cycle/mail_cycle.h"

#include <gtest/gtest.h>

#include "support/scoped_env.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"

namespace pelrion::cycle {
namespace {

using platform::DialogAnswer;
using platform::DialogButtons;
using platform::DialogIcon;
using transport::MailProtocol;
using transport::StatusRecord;
using transport::WorkerReports;

// Records what the cycle asks of its workers as lines ("check 1,2", "send", "send: nothing",
// "stop", "ended"). A started worker keeps running until the test ends it with Finish(), or,
// when on_start is set, runs whatever that does (the thread tests start a thread there).
class FakeWorkers : public CycleWorkers {
 public:
  std::vector<std::uint32_t> IncludedAccountIds() const override { return included; }

  void StartCheck(const std::vector<std::uint32_t>& account_ids,
                  WorkerReports& reports) override {
    std::string line = "check ";
    for (std::size_t i = 0; i < account_ids.size(); ++i) {
      line += (i > 0 ? "," : "") + std::to_string(account_ids[i]);
    }
    Begin(line, reports);
  }
  bool StartSending(WorkerReports& reports) override {
    if (!send_has_work) {
      log.push_back("send: nothing");
      return false;
    }
    Begin("send", reports);
    return true;
  }
  void StopWorker() override {
    log.push_back("stop");
    {
      std::lock_guard lock(mutex);
      stop_requested = true;
    }
    stopped.notify_all();
  }
  void WorkerEnded() override {
    log.push_back("ended");
    running = nullptr;
  }
  bool ThreadAlive() const override { return threads_alive.load() > 0; }

  // The running worker's last acts, as the real workers end.
  void Finish() {
    WorkerReports* reports = running;
    ASSERT_NE(reports, nullptr);
    reports->ActivityState(7);
    reports->StatusChanged(StatusRecord{"Idle", "", 0, false}, 15);
    reports->Finished();
  }

  std::vector<std::uint32_t> included = {1, 2};
  bool send_has_work = true;
  std::vector<std::string> log;
  WorkerReports* running = nullptr;  // the reports of the worker that has not ended
  bool overlapped = false;           // a worker started before the previous one ended
  std::function<void(WorkerReports&)> on_start;

  std::mutex mutex;
  std::condition_variable stopped;
  bool stop_requested = false;  // guarded by mutex
  std::atomic<int> threads_alive{0};

 private:
  void Begin(const std::string& line, WorkerReports& reports) {
    log.push_back(line);
    if (running != nullptr) overlapped = true;
    running = &reports;
    {
      std::lock_guard lock(mutex);
      stop_requested = false;
    }
    if (on_start) {
      on_start(reports);
    } else {
      reports.StatusChanged(StatusRecord{"", "", 0, true}, 15);  // as a worker begins
    }
  }
};

class RecordingView : public CycleView {
 public:
  explicit RecordingView(const platform::MainThread& main) : main_(main) {}

  void ActivityChanged(std::string_view text) override {
    Note();
    activities.emplace_back(text);
  }
  void StatusChanged(const StatusRecord& status) override {
    Note();
    statuses.push_back(status);
    if (on_status) on_status();
  }
  void ReportAdded(const NetworkErrorReport& report) override {
    Note();
    added.push_back(report.text);
  }
  void IndicatorsChanged(bool has_errors, bool offline) override {
    Note();
    indicators.emplace_back(has_errors, offline);
  }

  std::vector<std::string> activities;
  std::vector<StatusRecord> statuses;
  std::vector<std::string> added;
  std::vector<std::pair<bool, bool>> indicators;  // (has errors, offline)
  bool called_off_main = false;
  std::function<void()> on_status;

 private:
  void Note() { called_off_main = called_off_main || !main_.IsMainThread(); }
  const platform::MainThread& main_;
};

struct Box {
  std::string text;
  std::string caption;
  DialogIcon icon;
  DialogButtons buttons;
};

class ScriptedDialogs : public platform::Dialogs {
 public:
  DialogAnswer MessageBox(std::string_view text, std::string_view caption, DialogIcon icon,
                          DialogButtons buttons) override {
    boxes.push_back({std::string(text), std::string(caption), icon, buttons});
    return answer;
  }
  std::optional<std::string> ChooseFolder(std::string_view) override { return std::nullopt; }
  void ShowStatus(std::string_view text) override { statuses.emplace_back(text); }
  void ShowStartupStage(std::string_view) override {}

  DialogAnswer answer = DialogAnswer::kNo;
  std::vector<Box> boxes;
  std::vector<std::string> statuses;
};

// One cycle with its scripted main thread, dialogs, registry and recording fakes. Each case
// of a table gets a world of its own.
class World {
 public:
  ~World() {
    // Worker threads call into the cycle: they go first, served until they have returned.
    main.RunUntil([this] { return workers.threads_alive == 0; });
    for (std::thread& thread : threads) thread.join();
  }

  MailCycle& cycle() {
    if (!cycle_) {
      cycle_ = std::make_unique<MailCycle>(
          CyclePorts{main, dialogs, registry, preferences, workers, view});
    }
    return *cycle_;
  }
  // The next cycle() reads its settings anew, as the next start does.
  void Restart() { cycle_.reset(); }

  // Lets every worker end in turn, the send that follows a check included (a check and a
  // send at most).
  void FinishAll() {
    for (int i = 0; i < 2 && workers.running != nullptr; ++i) workers.Finish();
    EXPECT_EQ(workers.running, nullptr) << "a worker was not told it ended";
  }
  std::optional<int> CycleTimer() const { return main.TimerPeriod(kCycleTimer); }
  void StoreOffline(std::uint32_t value) {
    registry.SetNumber(platform::kProgramKey, kOfflineValue, value);
  }
  std::vector<std::string> ReportTexts() {
    std::vector<std::string> texts;
    for (const NetworkErrorReport& report : cycle().errors().reports()) {
      texts.push_back(report.text);
    }
    return texts;
  }
  // The lines the workers logged from index `from` on.
  std::vector<std::string> LogFrom(std::size_t from) const {
    return {workers.log.begin() + static_cast<std::ptrdiff_t>(from), workers.log.end()};
  }

  // Starts each worker on a thread that runs script with the worker's reports, then ends.
  void RunWorkersOnThreads(std::function<void(WorkerReports&)> script) {
    workers.on_start = [this, script](WorkerReports& reports) {
      ++workers.threads_alive;
      threads.emplace_back([this, script, &reports] {
        script(reports);
        --workers.threads_alive;
      });
    };
  }
  // Blocks the calling worker thread until the cycle stops it.
  void WaitForStop() {
    std::unique_lock lock(workers.mutex);
    workers.stopped.wait(lock, [&] { return workers.stop_requested; });
  }

  platform::PlainMainThread main;
  ScriptedDialogs dialogs;
  platform::MemoryRegistry registry;
  core::Preferences preferences;
  FakeWorkers workers;
  RecordingView view{main};
  std::vector<std::thread> threads;

 private:
  std::unique_ptr<MailCycle> cycle_;
};

constexpr int kMinute = 60'000;

TEST(MailCycleTest, TickRunsWhatThePreferencesAskThenWaitsOnePeriod) {
  struct Case {
    const char* name;
    std::uint32_t checkmail;
    std::uint32_t delay;
    std::vector<std::uint32_t> included;
    bool send_has_work;
    std::vector<std::string> log;
    int period;
  };
  const std::vector<Case> cases = {
      {"check, then the send that became due", 1, 10, {1, 2}, true,
       {"check 1,2", "ended", "send", "ended"}, 10 * kMinute},
      {"the delay counts minutes", 1, 3, {4}, true, {"check 4", "ended", "send", "ended"},
       3 * kMinute},
      {"checking off: requests are sent every 15 minutes, no mail is fetched", 0, 3, {1, 2},
       true, {"send", "ended"}, 15 * kMinute},
      {"no included account: no worker at all", 1, 10, {}, true, {}, 10 * kMinute},
      {"nothing due after the check", 1, 10, {1}, false, {"check 1", "ended", "send: nothing"},
       10 * kMinute},
      {"a delay out of range counts as 10", 1, 1000, {1}, false,
       {"check 1", "ended", "send: nothing"}, 10 * kMinute},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.workers.included = c.included;
    w.workers.send_has_work = c.send_has_work;
    w.preferences.checkmail = c.checkmail;
    w.preferences.checkmail_delay = c.delay;

    w.cycle().CycleTick();
    w.FinishAll();

    EXPECT_EQ(w.workers.log, c.log);
    EXPECT_FALSE(w.workers.overlapped);
    EXPECT_TRUE(w.cycle().idle());
    EXPECT_EQ(w.CycleTimer(), c.period);
  }
}

// The timer is off while a worker runs and armed when the last one ends, so the next cycle
// starts one period after the previous one ended, not after it began.
TEST(MailCycleTest, NextCycleIsCountedFromTheEndOfThePrevious) {
  World w;
  w.cycle().CycleTick();
  EXPECT_TRUE(w.cycle().checking());
  EXPECT_EQ(w.CycleTimer(), std::nullopt);

  w.workers.Finish();
  EXPECT_TRUE(w.cycle().sending());
  EXPECT_EQ(w.CycleTimer(), std::nullopt);

  w.workers.Finish();
  EXPECT_EQ(w.CycleTimer(), 10 * kMinute);

  ASSERT_TRUE(w.main.FireTimer(kCycleTimer));
  EXPECT_EQ(w.workers.log.back(), "check 1,2");
  EXPECT_EQ(w.CycleTimer(), std::nullopt);
}

TEST(MailCycleTest, CheckMailCommand) {
  enum class Busy { kNo, kChecking, kSending };
  struct Case {
    const char* name;
    Busy busy;
    bool offline;
    DialogAnswer answer;
    std::optional<std::uint32_t> account;
    std::vector<std::string> started;  // what the command added to the log
    bool asked;
    bool offline_after;
    std::optional<int> timer;
  };
  const std::vector<Case> cases = {
      {"while sending: nothing", Busy::kSending, false, DialogAnswer::kYes, std::nullopt, {},
       false, false, std::nullopt},
      {"while checking: nothing", Busy::kChecking, false, DialogAnswer::kYes, 5, {}, false,
       false, std::nullopt},
      {"every included account", Busy::kNo, false, DialogAnswer::kNo, std::nullopt,
       {"check 1,2"}, false, false, std::nullopt},
      {"an excluded account chosen from the account menu", Busy::kNo, false, DialogAnswer::kNo,
       7, {"check 7"}, false, false, std::nullopt},
      {"offline, No: stays offline and the timer goes on", Busy::kNo, true, DialogAnswer::kNo,
       std::nullopt, {}, true, true, 10 * kMinute},
      {"offline, Yes: online and checking", Busy::kNo, true, DialogAnswer::kYes, 3, {"check 3"},
       true, false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.dialogs.answer = c.answer;
    w.StoreOffline(c.offline ? 1 : 0);
    if (c.busy != Busy::kNo) w.cycle().CycleTick();
    if (c.busy == Busy::kSending) w.workers.Finish();
    const std::size_t before = w.workers.log.size();

    w.cycle().CheckMailCommand(c.account);

    EXPECT_EQ(w.LogFrom(before), c.started);
    ASSERT_EQ(w.dialogs.boxes.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(w.dialogs.boxes[0].text, kGoOnlineQuestion);
      EXPECT_EQ(w.dialogs.boxes[0].caption, "Pelrion");
      EXPECT_EQ(w.dialogs.boxes[0].icon, DialogIcon::kQuestion);
      EXPECT_EQ(w.dialogs.boxes[0].buttons, DialogButtons::kYesNo);
    }
    EXPECT_EQ(w.cycle().offline(), c.offline_after);
    EXPECT_EQ(w.registry.GetNumber(platform::kProgramKey, kOfflineValue),
              c.offline_after ? 1u : 0u);
    EXPECT_EQ(w.CycleTimer(), c.timer);
  }
}

// The control command's check never asks; it says why it did not start.
TEST(MailCycleTest, RequestCheckAsksNothingAndTellsWhy) {
  struct Case {
    const char* name;
    bool busy;
    bool offline;
    std::vector<std::uint32_t> included;
    std::optional<std::uint32_t> account;
    CheckStart expected;
    std::vector<std::string> started;
  };
  const std::vector<Case> cases = {
      {"idle", false, false, {1, 2}, std::nullopt, CheckStart::kStarted, {"check 1,2"}},
      {"one account, excluded or not", false, false, {}, 9, CheckStart::kStarted, {"check 9"}},
      {"a worker runs", true, false, {1}, std::nullopt, CheckStart::kBusy, {}},
      {"offline", false, true, {1}, std::nullopt, CheckStart::kOffline, {}},
      {"no included account", false, false, {}, std::nullopt, CheckStart::kNothingToCheck, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.workers.included = c.included;
    w.StoreOffline(c.offline ? 1 : 0);
    if (c.busy) w.cycle().CycleTick();
    const std::size_t before = w.workers.log.size();

    EXPECT_EQ(w.cycle().RequestCheck(c.account), c.expected);
    EXPECT_EQ(w.LogFrom(before), c.started);
    EXPECT_TRUE(w.dialogs.boxes.empty());
    EXPECT_EQ(w.cycle().offline(), c.offline);
  }
}

// Going offline or pressing Stop ends the running worker; no send follows a stopped check,
// the cycle waits one period. The stop is not carried into the next cycle, and offline
// only keeps new workers from starting: the timer keeps firing and re-arming.
TEST(MailCycleTest, StoppedWorkerEndsTheCycleUntilTheNextPeriod) {
  struct Case {
    const char* name;
    bool go_offline;  // else the Stop button
    bool during_send;
    std::vector<std::string> next_cycle;  // what the next firing of the timer starts
  };
  const std::vector<Case> cases = {
      {"offline during a check", true, false, {}},
      {"offline while sending", true, true, {}},
      {"Stop during a check", false, false, {"check 1,2", "ended", "send", "ended"}},
      {"Stop while sending", false, true, {"check 1,2", "ended", "send", "ended"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.cycle().CycleTick();
    if (c.during_send) w.workers.Finish();
    const std::size_t before = w.workers.log.size();

    if (c.go_offline) {
      w.cycle().ToggleOffline();
    } else {
      w.cycle().StopCommand();
      ASSERT_FALSE(w.view.statuses.empty());
      EXPECT_FALSE(w.view.statuses.back().busy);  // the Stop button is disabled
    }
    w.workers.Finish();

    EXPECT_EQ(w.LogFrom(before), (std::vector<std::string>{"stop", "ended"}));
    EXPECT_TRUE(w.cycle().idle());
    EXPECT_EQ(w.CycleTimer(), 10 * kMinute);

    const std::size_t after_stop = w.workers.log.size();
    ASSERT_TRUE(w.main.FireTimer(kCycleTimer));
    w.FinishAll();
    EXPECT_EQ(w.LogFrom(after_stop), c.next_cycle);
    EXPECT_EQ(w.CycleTimer(), 10 * kMinute);
  }
}

TEST(MailCycleTest, NothingStartsOnceShuttingDown) {
  for (const std::uint32_t checkmail : {0u, 1u}) {
    SCOPED_TRACE(checkmail);
    World w;
    w.preferences.checkmail = checkmail;
    EXPECT_TRUE(w.cycle().StopForShutdown());
    w.cycle().CycleTick();
    w.cycle().CheckMailCommand(std::nullopt);
    EXPECT_EQ(w.cycle().RequestCheck(1), CheckStart::kNothingToCheck);
    EXPECT_TRUE(w.workers.log.empty());
    EXPECT_EQ(w.CycleTimer(), std::nullopt);
    EXPECT_TRUE(w.dialogs.statuses.empty());
  }
}

TEST(MailCycleTest, StopWithoutAWorkerDoesNothing) {
  World w;
  w.cycle().StopCommand();
  EXPECT_TRUE(w.workers.log.empty());
  EXPECT_TRUE(w.view.statuses.empty());
}

TEST(MailCycleTest, OfflineSwitchIsReadAtStartAndSavedAsFourBytes) {
  using Bytes = platform::RegistryBinary;
  struct Case {
    const char* name;
    std::optional<platform::RegistryValue> stored;
    bool offline;
  };
  const std::vector<Case> cases = {
      {"absent", std::nullopt, false},
      {"zero", Bytes{0, 0, 0, 0}, false},
      {"one", Bytes{1, 0, 0, 0}, true},
      {"any non-zero byte", Bytes{0, 0, 0, 0x80}, true},
      {"not four bytes", Bytes{1, 0}, false},
      {"a string", std::string("1"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    if (c.stored) {
      if (const auto* bytes = std::get_if<Bytes>(&*c.stored)) {
        w.registry.SetBinary(platform::kProgramKey, kOfflineValue, *bytes);
      } else {
        w.registry.SetString(platform::kProgramKey, kOfflineValue,
                             std::get<std::string>(*c.stored));
      }
    }
    EXPECT_EQ(w.cycle().offline(), c.offline);

    w.cycle().ToggleOffline();
    const Bytes saved{c.offline ? std::uint8_t{0} : std::uint8_t{1}, 0, 0, 0};
    EXPECT_EQ(w.registry.GetBinary(platform::kProgramKey, kOfflineValue), saved);
    ASSERT_FALSE(w.view.indicators.empty());
    EXPECT_EQ(w.view.indicators.back(), std::make_pair(false, !c.offline));

    w.Restart();
    EXPECT_EQ(w.cycle().offline(), !c.offline) << "read back by the next start";
  }
}

TEST(MailCycleTest, ActivityPaneShowsWhatTheWorkerDoes) {
  struct Case {
    int code;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0, "Sending authorization request..."},
      {1, "Receiving mail..."},
      {2, "Connecting..."},
      {3, "Disconnecting..."},
      {4, "Checking mail..."},
      {5, "Authorizing..."},
      {6, "Deleting messages from server..."},
      {7, ""},
      {8, ""},
      {-1, ""},
  };
  World w;
  w.cycle().CycleTick();
  for (const Case& c : cases) {
    w.workers.running->ActivityState(4);  // something shown before
    w.workers.running->ActivityState(c.code);
    EXPECT_EQ(w.view.activities.back(), c.text) << c.code;
    EXPECT_EQ(w.cycle().activity(), c.text) << c.code;
  }
}

// The failures and successes the workers and listeners report, as the list keeps them.
TEST(MailCycleTest, OneReportPerSourceReplacedAndClearedBySuccess) {
  enum class Kind { kFail, kSucceed, kListenerFail, kListenerUp };
  struct Step {
    Kind kind;
    std::uint32_t id;
    MailProtocol protocol;
    const char* text;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> reports;
  };
  constexpr auto kPop3 = MailProtocol::kPop3;
  constexpr auto kSmtp = MailProtocol::kSmtp;
  const std::vector<Case> cases = {
      {"a newer failure replaces the older of its account",
       {{Kind::kFail, 1, kPop3, "a"}, {Kind::kFail, 2, kPop3, "b"}, {Kind::kFail, 1, kPop3, "c"}},
       {"b", "c"}},
      {"POP3 and SMTP of an account are separate sources",
       {{Kind::kFail, 1, kPop3, "in"}, {Kind::kFail, 1, kSmtp, "out"}},
       {"in", "out"}},
      {"a success clears its own protocol only",
       {{Kind::kFail, 1, kPop3, "in"}, {Kind::kFail, 1, kSmtp, "out"},
        {Kind::kSucceed, 1, kSmtp, ""}},
       {"in"}},
      {"a success of another account clears nothing",
       {{Kind::kFail, 1, kPop3, "in"}, {Kind::kSucceed, 2, kPop3, ""}},
       {"in"}},
      {"a listener with an account's id is another source",
       {{Kind::kListenerFail, 1, kPop3, "bind"}, {Kind::kFail, 1, kPop3, "in"},
        {Kind::kListenerUp, 1, kPop3, ""}},
       {"in"}},
      {"the last success leaves no report",
       {{Kind::kFail, 3, kPop3, "in"}, {Kind::kSucceed, 3, kPop3, ""}},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.cycle().CycleTick();
    WorkerReports& worker = *w.workers.running;
    transport::ListenerReports& listener = w.cycle().listener_reports();
    std::size_t failures = 0;
    for (const Step& step : c.steps) {
      switch (step.kind) {
        case Kind::kFail:
          worker.NetworkErrorReport("pop.example", step.id, step.protocol, step.text, "");
          ++failures;
          break;
        case Kind::kSucceed:
          worker.SuccessNotice("pop.example", step.id, step.protocol);
          break;
        case Kind::kListenerFail:
          listener.ListenerFailed(step.id, step.text);
          ++failures;
          break;
        case Kind::kListenerUp:
          listener.ListenerListening(step.id);
          break;
      }
    }
    EXPECT_EQ(w.ReportTexts(), c.reports);
    EXPECT_EQ(w.view.added.size(), failures);
    ASSERT_FALSE(w.view.indicators.empty());
    EXPECT_EQ(w.view.indicators.back(), std::make_pair(!c.reports.empty(), false));
  }
}

// Time stamps are local time: the clock and the zone are pinned.
class MailCycleReportTimeTest : public testing::Test {
 protected:
  void SetUp() override { platform::SetNowForTesting(1'772'875'080); }  // 3/7/26 9:18 UTC
  void TearDown() override { platform::SetNowForTesting(std::nullopt); }
  test_support::ScopedUtcZone utc_;
};

TEST_F(MailCycleReportTimeTest, ShownReportsAreOneLineEachAndTheListEmpties) {
  struct Case {
    const char* name;
    bool offline;
    bool take;  // the control command takes the lines instead of a box showing them
  };
  const std::vector<Case> cases = {
      {"shown in a box", false, false},
      {"shown while offline", true, false},
      {"taken", false, true},
  };
  const std::string expected =
      "3/7/26 9:18   Incoming mail (POP3) server 'a': refused\n"
      "3/7/26 9:18   Incoming mail (POP3) server 'b': timed out.\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.StoreOffline(c.offline ? 1 : 0);
    w.cycle().AddNetworkError(MailServerKey(1, MailProtocol::kPop3),
                              "Incoming mail (POP3) server 'a': refused");
    w.cycle().AddNetworkError(MailServerKey(2, MailProtocol::kPop3),
                              "Incoming mail (POP3) server 'b': timed out.");
    EXPECT_EQ(w.view.indicators.back(), std::make_pair(true, c.offline));

    if (c.take) {
      EXPECT_EQ(w.cycle().TakeNetworkErrors(), expected);
      EXPECT_TRUE(w.dialogs.boxes.empty());
    } else {
      w.cycle().ShowNetworkErrors();
      ASSERT_EQ(w.dialogs.boxes.size(), 1u);
      EXPECT_EQ(w.dialogs.boxes[0].text, expected);
      EXPECT_EQ(w.dialogs.boxes[0].caption, "Pelrion");
      EXPECT_EQ(w.dialogs.boxes[0].icon, DialogIcon::kWarning);
    }
    EXPECT_TRUE(w.cycle().errors().empty());
    EXPECT_EQ(w.view.indicators.back(), std::make_pair(false, c.offline));

    // Nothing left: no box, no lines.
    w.cycle().ShowNetworkErrors();
    EXPECT_EQ(w.cycle().TakeNetworkErrors(), "");
    EXPECT_EQ(w.dialogs.boxes.size(), c.take ? 0u : 1u);
  }
}

TEST(MailCycleTest, AccountsAndListenersThatGoTakeTheirReportsWithThem) {
  struct Case {
    const char* name;
    store::NoticeOrigin origin;
    std::uint32_t id;
    int flag;
    std::vector<std::string> left;
  };
  const std::vector<Case> cases = {
      {"account, POP3", store::NoticeOrigin::kAccount, 1, 0, {"out", "listener"}},
      {"account, SMTP", store::NoticeOrigin::kAccount, 1, 1, {"in", "listener"}},
      {"listener", store::NoticeOrigin::kListener, 1, 0, {"in", "out"}},
      {"another account", store::NoticeOrigin::kAccount, 2, 0, {"in", "out", "listener"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.cycle().AddNetworkError(MailServerKey(1, MailProtocol::kPop3), "in");
    w.cycle().AddNetworkError(MailServerKey(1, MailProtocol::kSmtp), "out");
    w.cycle().AddNetworkError(ListenerKey(1), "listener");
    store::StatusNotices& notices = w.cycle();
    notices.RemoveStatusNotices(c.origin, c.id, c.flag);
    EXPECT_EQ(w.ReportTexts(), c.left);
  }
}

TEST(MailCycleTest, NewPeriodTakesEffectNowWhenIdleElseAtTheWorkersEnd) {
  World w;
  w.cycle().CycleTick();
  w.FinishAll();
  w.preferences.checkmail_delay = 2;
  w.cycle().ResetCyclePeriod();
  EXPECT_EQ(w.CycleTimer(), 2 * kMinute);

  ASSERT_TRUE(w.main.FireTimer(kCycleTimer));
  w.preferences.checkmail_delay = 7;
  w.cycle().ResetCyclePeriod();
  EXPECT_EQ(w.CycleTimer(), std::nullopt) << "no timer while a worker runs";
  w.FinishAll();
  EXPECT_EQ(w.CycleTimer(), 7 * kMinute);
}

TEST(MailCycleTest, IdleWaitersRunOnceBothWorkersAreDone) {
  struct Case {
    const char* name;
    bool send_has_work;
    bool stop_the_check;
    int after_check;  // waiter runs counted once the check ended
    int after_send;
  };
  const std::vector<Case> cases = {
      {"after the send that follows the check", true, false, 0, 1},
      {"after the check when nothing is due", false, false, 1, 1},
      {"after a check stopped by going offline", true, true, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    w.workers.send_has_work = c.send_has_work;
    int runs = 0;
    w.cycle().CycleTick();
    w.cycle().WhenIdle([&] {
      EXPECT_TRUE(w.cycle().idle());
      ++runs;
    });
    if (c.stop_the_check) w.cycle().ToggleOffline();
    w.workers.Finish();
    EXPECT_EQ(runs, c.after_check);
    w.FinishAll();
    EXPECT_EQ(runs, c.after_send);
  }
}

TEST(MailCycleTest, IdleWaiterRunsAtOnceWhenNothingRuns) {
  World w;
  w.workers.included = {};
  int runs = 0;
  w.cycle().WhenIdle([&] { ++runs; });
  EXPECT_EQ(runs, 1);
  w.cycle().CycleTick();  // returns early: nothing to check
  EXPECT_EQ(runs, 1);
}

// A waiter that starts a check makes the ones after it wait for that check.
TEST(MailCycleTest, WaiterThatStartsACheckHoldsBackTheRest) {
  World w;
  w.workers.send_has_work = false;
  std::vector<std::string> order;
  w.cycle().CycleTick();
  w.cycle().WhenIdle([&] {
    order.push_back("first");
    w.cycle().CheckMailCommand(std::nullopt);
  });
  w.cycle().WhenIdle([&] { order.push_back(w.cycle().idle() ? "second, idle" : "second, busy"); });
  w.workers.Finish();
  EXPECT_EQ(order, (std::vector<std::string>{"first"}));
  w.workers.Finish();
  EXPECT_EQ(order, (std::vector<std::string>{"first", "second, idle"}));
}

// Workers on threads of their own: every report reaches the cycle on the main thread.
TEST(MailCycleThreadTest, ReportsFromWorkerThreadsAreHandledOnTheMainThread) {
  World w;
  std::atomic<int> worker{0};
  w.RunWorkersOnThreads([&](WorkerReports& reports) {
    if (worker++ == 0) {
      reports.ActivityState(2);
      reports.NetworkErrorReport("a", 1, MailProtocol::kPop3, "first failed", "AB:CD");
      reports.NetworkErrorReport("b", 2, MailProtocol::kPop3, "second failed", "");
      reports.SuccessNotice("b", 2, MailProtocol::kPop3);
    } else {
      reports.ActivityState(0);
    }
    reports.ActivityState(7);
    reports.Finished();
  });
  bool idle = false;
  w.cycle().CycleTick();
  w.cycle().WhenIdle([&] { idle = true; });
  w.main.RunUntil([&] { return idle; });

  EXPECT_FALSE(w.view.called_off_main);
  EXPECT_EQ(w.workers.log, (std::vector<std::string>{"check 1,2", "ended", "send", "ended"}));
  EXPECT_EQ(w.view.activities, (std::vector<std::string>{"Connecting...", "",
                                                         "Sending authorization request...", ""}));
  EXPECT_EQ(w.ReportTexts(), (std::vector<std::string>{"first failed"}));
  // The refused certificate travels with its report, for the offer to pin it.
  EXPECT_EQ(w.cycle().errors().reports().front().certificate, "AB:CD");
  EXPECT_EQ(w.CycleTimer(), 10 * kMinute);
}

TEST(MailCycleThreadTest, ShutdownStopsTheWorkerAndWaitsBoundedWhileServingIt) {
  struct Case {
    const char* name;
    int end_after_ms;  // how long the worker takes to end once stopped; -1: it never does
    bool ended;
    bool told_user;
  };
  const std::vector<Case> cases = {
      {"ends at once", 0, true, false},
      {"ends late", 400, true, true},
      {"never ends", -1, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    World w;
    std::atomic<bool> release{false};
    w.RunWorkersOnThreads([&](WorkerReports& reports) {
      w.WaitForStop();
      if (c.end_after_ms < 0) {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(c.end_after_ms));
      }
      reports.StatusChanged(StatusRecord{"Idle", "", 0, false}, 15);
      reports.Finished();
    });
    std::optional<int> shutdown_timer_while_waiting;
    w.view.on_status = [&] {
      shutdown_timer_while_waiting = w.main.TimerPeriod(kShutdownWaitTimer);
    };
    w.cycle().CycleTick();
    ASSERT_TRUE(w.cycle().checking());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(w.cycle().StopForShutdown(), c.ended);
    const auto waited = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(w.dialogs.statuses, c.told_user
                                      ? std::vector<std::string>{"Pelrion is shutting down..."}
                                      : std::vector<std::string>{});
    EXPECT_EQ(w.main.TimerPeriod(kShutdownWaitTimer), std::nullopt);
    if (c.ended && c.told_user) {
      EXPECT_EQ(shutdown_timer_while_waiting, kShutdownWaitMs);
    }
    if (!c.ended) {
      EXPECT_GE(waited, std::chrono::milliseconds(kShutdownWaitMs));
    }

    // A worker that outlived the wait ends now; while shutting down its handler only clears
    // the flag: no send follows, no cycle is armed.
    release = true;
    w.main.RunUntil([&] { return w.workers.threads_alive == 0; });
    EXPECT_TRUE(w.cycle().idle());
    EXPECT_EQ(w.workers.log, (std::vector<std::string>{"check 1,2", "stop", "ended"}));
    EXPECT_EQ(w.CycleTimer(), std::nullopt);
  }
}

}  // namespace
}  // namespace pelrion::cycle
