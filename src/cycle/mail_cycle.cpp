#include "cycle/mail_cycle.h"

#include <chrono>
#include <utility>

namespace pelrion::cycle {

namespace {

constexpr std::string_view kShuttingDownText = "Pelrion is shutting down...";
// How long the exit first waits for a stopped worker before it tells the user.
constexpr std::chrono::milliseconds kQuietShutdownWait{100};

}  // namespace

// What a worker thread reports, carried over to the main thread one call at a time; the
// worker waits for each. Which completion handler Finished runs depends on the job.
class MailCycle::ForwardingReports : public transport::WorkerReports {
 public:
  enum class Job { kCheck, kSend };

  ForwardingReports(MailCycle& cycle, Job job) : cycle_(cycle), job_(job) {}

  void ActivityState(int state) override {
    OnMain([&] { cycle_.ShowActivity(state); });
  }
  void StatusChanged(const transport::StatusRecord& status, int) override {
    OnMain([&] { cycle_.ShowStatus(status); });
  }
  void NetworkErrorReport(const std::string&, std::uint32_t account_id,
                          transport::MailProtocol protocol, const std::string& text,
                          const std::string& certificate) override {
    OnMain([&] {
      cycle_.AddNetworkError(MailServerKey(account_id, protocol), text, certificate);
    });
  }
  void SuccessNotice(const std::string&, std::uint32_t account_id,
                     transport::MailProtocol protocol) override {
    OnMain([&] { cycle_.ClearNetworkError(MailServerKey(account_id, protocol)); });
  }
  void Finished() override {
    OnMain([&] {
      // The workers give back what this run held before the handler may start the next.
      cycle_.ports_.workers.WorkerEnded();
      if (job_ == Job::kCheck) {
        cycle_.CheckFinished();
      } else {
        cycle_.SendingFinished();
      }
    });
  }

 private:
  template <typename F>
  void OnMain(F&& fn) {
    cycle_.ports_.main_thread.Call(std::function<void()>(std::forward<F>(fn)));
  }

  MailCycle& cycle_;
  Job job_;
};

class MailCycle::ForwardingListenerReports : public transport::ListenerReports {
 public:
  explicit ForwardingListenerReports(MailCycle& cycle) : cycle_(cycle) {}

  void ListenerListening(std::uint32_t listener_id) override {
    cycle_.ports_.main_thread.Call(
        std::function<void()>([&] { cycle_.ClearNetworkError(ListenerKey(listener_id)); }));
  }
  void ListenerFailed(std::uint32_t listener_id, const std::string& text) override {
    cycle_.ports_.main_thread.Call(std::function<void()>(
        [&] { cycle_.AddNetworkError(ListenerKey(listener_id), text); }));
  }

 private:
  MailCycle& cycle_;
};

struct MailCycle::Forwarders {
  explicit Forwarders(MailCycle& cycle)
      : check(cycle, ForwardingReports::Job::kCheck),
        send(cycle, ForwardingReports::Job::kSend),
        listener(cycle) {}

  ForwardingReports check;
  ForwardingReports send;
  ForwardingListenerReports listener;
};

MailCycle::MailCycle(const CyclePorts& ports)
    : ports_(ports), forwarders_(std::make_unique<Forwarders>(*this)) {
  offline_ = ports_.registry.GetNumber(platform::kProgramKey, kOfflineValue).value_or(0) != 0;
}

MailCycle::~MailCycle() {
  // The timer's function refers to this object.
  ports_.main_thread.KillTimer(kCycleTimer);
}

void MailCycle::CycleTick() {
  if (ports_.preferences.checkmail != 0) {
    StartCheck(std::nullopt);
  } else {
    // Mail is then downloaded only on request; the held senders are still asked.
    StartSending();
  }
}

void MailCycle::CheckMailCommand(std::optional<std::uint32_t> account) {
  if (!idle()) return;
  ports_.main_thread.KillTimer(kCycleTimer);
  if (offline_) {
    const platform::DialogAnswer answer =
        ports_.dialogs.MessageBox(kGoOnlineQuestion, kProgramTitle,
                                  platform::DialogIcon::kQuestion, platform::DialogButtons::kYesNo);
    if (answer != platform::DialogAnswer::kYes) {
      ArmCycleTimer();
      return;
    }
    ToggleOffline();
  }
  StartCheck(account);
}

CheckStart MailCycle::RequestCheck(std::optional<std::uint32_t> account) {
  if (!idle()) return CheckStart::kBusy;
  if (offline_) return CheckStart::kOffline;
  return BeginCheck(account) ? CheckStart::kStarted : CheckStart::kNothingToCheck;
}

void MailCycle::StartCheck(std::optional<std::uint32_t> account) { BeginCheck(account); }

bool MailCycle::BeginCheck(std::optional<std::uint32_t> account) {
  ports_.main_thread.KillTimer(kCycleTimer);
  // One worker at a time; none once the program is closing.
  if (shutting_down_ || !idle()) return false;
  std::vector<std::uint32_t> ids;
  if (account) {
    ids.push_back(*account);  // chosen by the user: checked even when excluded
  } else {
    ids = ports_.workers.IncludedAccountIds();
  }
  if (offline_ || ids.empty()) {
    ArmCycleTimer();
    RunIdleWaiters();
    return false;
  }
  stop_requested_ = false;
  checking_ = true;
  ports_.workers.StartCheck(ids, forwarders_->check);
  return true;
}

void MailCycle::CheckFinished() {
  checking_ = false;
  if (shutting_down_) return;
  if (offline_ || stop_requested_) {
    // A stopped check sends nothing; the cycle waits one period.
    ArmCycleTimer();
  } else {
    StartSending();
  }
  RunIdleWaiters();
}

void MailCycle::StartSending() {
  ports_.main_thread.KillTimer(kCycleTimer);
  if (shutting_down_ || !idle()) return;
  if (offline_) {
    ArmCycleTimer();
    RunIdleWaiters();
    return;
  }
  stop_requested_ = false;
  // Set before the start: a worker may report (even finish) before StartSending returns.
  sending_ = true;
  if (!ports_.workers.StartSending(forwarders_->send)) {
    sending_ = false;
    ArmCycleTimer();
    RunIdleWaiters();
  }
}

void MailCycle::SendingFinished() {
  sending_ = false;
  if (shutting_down_) return;
  ArmCycleTimer();
  RunIdleWaiters();
}

void MailCycle::StopRunningWorker() {
  if (idle()) return;
  stop_requested_ = true;
  ports_.workers.StopWorker();
}

void MailCycle::ToggleOffline() {
  // Going offline stops the running worker at once; its handler then only re-arms the timer.
  if (!offline_) StopRunningWorker();
  offline_ = !offline_;
  IndicatorsChanged();
  ports_.registry.SetNumber(platform::kProgramKey, kOfflineValue, offline_ ? 1 : 0);
}

void MailCycle::SetOffline(bool offline) {
  if (offline != offline_) ToggleOffline();
}

void MailCycle::StopCommand() {
  if (idle()) return;
  StopRunningWorker();
  // The "Stop" button follows the busy flag: one press is enough.
  status_.busy = false;
  ports_.view.StatusChanged(status_);
}

void MailCycle::ResetCyclePeriod() {
  // While a worker runs the timer is off; its handler arms it with the new period.
  if (!idle()) return;
  ports_.main_thread.KillTimer(kCycleTimer);
  ArmCycleTimer();
}

void MailCycle::ShowActivity(int code) {
  activity_ = std::string(ActivityText(code));
  ports_.view.ActivityChanged(activity_);
}

void MailCycle::ShowStatus(const transport::StatusRecord& status) {
  status_ = status;
  ports_.view.StatusChanged(status_);
}

void MailCycle::AddNetworkError(const ReportKey& key, std::string text,
                                std::string certificate) {
  errors_.Add(key, std::move(text), std::move(certificate));
  ports_.view.ReportAdded(errors_.reports().back());
  IndicatorsChanged();
}

void MailCycle::ClearNetworkError(const ReportKey& key) {
  if (errors_.Clear(key)) IndicatorsChanged();
}

void MailCycle::ShowNetworkErrors() {
  if (errors_.empty()) return;
  const std::string lines = errors_.TakeText();
  ports_.dialogs.MessageBox(lines, kProgramTitle, platform::DialogIcon::kWarning,
                            platform::DialogButtons::kOk);
  IndicatorsChanged();
}

std::string MailCycle::TakeNetworkErrors() {
  if (errors_.empty()) return {};
  std::string lines = errors_.TakeText();
  IndicatorsChanged();
  return lines;
}

void MailCycle::RemoveStatusNotices(store::NoticeOrigin origin, std::uint32_t id, int flag) {
  if (origin == store::NoticeOrigin::kListener) {
    ClearNetworkError(ListenerKey(id));
    return;
  }
  const transport::MailProtocol protocol =
      flag == 1 ? transport::MailProtocol::kSmtp : transport::MailProtocol::kPop3;
  ClearNetworkError(MailServerKey(id, protocol));
}

void MailCycle::WhenIdle(std::function<void()> fn) {
  if (idle()) {
    fn();
    return;
  }
  idle_waiters_.push_back(std::move(fn));
}

bool MailCycle::StopForShutdown() {
  shutting_down_ = true;
  ports_.main_thread.KillTimer(kCycleTimer);
  StopRunningWorker();
  platform::MainThread& main = ports_.main_thread;
  // Ended when no flag is set and no thread is left that could still call in.
  const auto ended = [this] { return idle() && !ports_.workers.ThreadAlive(); };
  if (main.WaitServing(ended, kQuietShutdownWait)) return true;

  ports_.dialogs.ShowStatus(kShuttingDownText);
  bool timer_fired = false;
  main.SetTimer(kShutdownWaitTimer, kShutdownWaitMs, [&timer_fired] { timer_fired = true; });
  // The deadline bounds the wait where nothing fires the timer (a test's main thread).
  main.WaitServing([&] { return timer_fired || ended(); },
                   std::chrono::milliseconds(kShutdownWaitMs));
  main.KillTimer(kShutdownWaitTimer);
  return ended();
}

transport::ListenerReports& MailCycle::listener_reports() { return forwarders_->listener; }

void MailCycle::ArmCycleTimer() {
  ports_.main_thread.SetTimer(kCycleTimer, CyclePeriodMs(ports_.preferences),
                              [this] { CycleTick(); });
}

void MailCycle::IndicatorsChanged() { ports_.view.IndicatorsChanged(!errors_.empty(), offline_); }

void MailCycle::RunIdleWaiters() {
  // A waiter may start a check: the rest then wait for its end.
  while (idle() && !idle_waiters_.empty()) {
    std::function<void()> fn = std::move(idle_waiters_.front());
    idle_waiters_.erase(idle_waiters_.begin());
    fn();
  }
}

}  // namespace pelrion::cycle
