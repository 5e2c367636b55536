// The mail cycle: checks the mail of every included account on its timer, then sends the
// authorization requests that became due, then waits one period. It owns the two worker
// jobs' running flags, timer 2 (the cycle), the offline switch, the activity text and the
// network-error list. Lives on the main thread; the workers reach it through the main-thread
// port (the reports it hands them forward every call there).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/preferences.h"
#include "cycle/cycle_ports.h"
#include "cycle/network_errors.h"
#include "platform/dialogs.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/status_notices.h"
#include "transport/listener_reports.h"
#include "transport/worker_reports.h"

namespace pelrion::cycle {

inline constexpr int kCycleTimer = 2;
inline constexpr int kShutdownWaitTimer = 4;
inline constexpr int kShutdownWaitMs = 3000;

// The registry value under the program's key that keeps the offline switch (4-byte binary).
inline constexpr std::string_view kOfflineValue = "Offline";

inline constexpr std::string_view kGoOnlineQuestion =
    "You are currently working offline. Would you like to go online now?";

// The activity pane's text for an ActivityState code; empty for 7 and unknown codes.
std::string_view ActivityText(int code);

// Milliseconds between the end of one cycle and the start of the next.
int CyclePeriodMs(const core::Preferences& preferences);

struct CyclePorts {
  platform::MainThread& main_thread;
  platform::Dialogs& dialogs;
  platform::Registry& registry;
  const core::Preferences& preferences;
  CycleWorkers& workers;
  CycleView& view;
};

// What a request to check mail that must not ask anything (the control command) came to.
enum class CheckStart { kStarted, kBusy, kOffline, kNothingToCheck };

class MailCycle : public store::StatusNotices {
 public:
  // Reads the offline switch from the registry. Everything given outlives the cycle.
  explicit MailCycle(const CyclePorts& ports);
  ~MailCycle() override;
  MailCycle(const MailCycle&) = delete;
  MailCycle& operator=(const MailCycle&) = delete;

  // Timer 2, and once at the end of start-up.
  void CycleTick();
  // "Check Mail" for every included account (nullopt) or for one account, whether included
  // or not; asks to go online through the dialogs when offline.
  void CheckMailCommand(std::optional<std::uint32_t> account);
  // The same without asking anything: refused while a worker runs or while offline.
  CheckStart RequestCheck(std::optional<std::uint32_t> account);
  void StartCheck(std::optional<std::uint32_t> account);
  void StartSending();
  void ToggleOffline();
  void SetOffline(bool offline);  // ToggleOffline when it changes anything
  void StopCommand();
  void ResetCyclePeriod();

  // From the workers (through the forwarding reports) and from the listeners.
  void ShowActivity(int code);
  void ShowStatus(const transport::StatusRecord& status);
  void AddNetworkError(const ReportKey& key, std::string text, std::string certificate = {});
  void ClearNetworkError(const ReportKey& key);
  // The reports as "time   text\n" lines, the list emptied and the indicators restored;
  // ShowNetworkErrors shows them in a warning box, TakeNetworkErrors returns them.
  void ShowNetworkErrors();
  std::string TakeNetworkErrors();
  // The account tables' notice when the last reference to an account or listener goes.
  void RemoveStatusNotices(store::NoticeOrigin origin, std::uint32_t id, int flag) override;

  // Runs fn on the main thread once neither worker runs (at once when idle now).
  void WhenIdle(std::function<void()> fn);

  // Exit: completion handlers do nothing from now on; the running worker is stopped and
  // waited for while its main-thread calls are served: 100 rounds of 1 ms, then, with
  // "Pelrion is shutting down..." shown, until it ends or timer 4 fires. True when no
  // worker runs any more.
  bool StopForShutdown();

  // The reports the listener threads give, forwarded to the main thread as network-error
  // reports keyed by listener.
  transport::ListenerReports& listener_reports();

  bool offline() const { return offline_; }
  bool checking() const { return checking_; }
  bool sending() const { return sending_; }
  bool idle() const { return !checking_ && !sending_; }
  const NetworkErrorList& errors() const { return errors_; }
  const std::string& activity() const { return activity_; }
  const transport::StatusRecord& status() const { return status_; }

 private:
  class ForwardingReports;
  class ForwardingListenerReports;

  // StartCheck; true when a worker was started.
  bool BeginCheck(std::optional<std::uint32_t> account);
  void CheckFinished();
  void SendingFinished();
  // Sets the running job's stop flag and stops its worker; nothing when none runs.
  void StopRunningWorker();
  void ArmCycleTimer();
  void IndicatorsChanged();
  void RunIdleWaiters();

  CyclePorts ports_;
  bool offline_ = false;
  bool checking_ = false;
  bool sending_ = false;
  bool shutting_down_ = false;
  bool stop_requested_ = false;  // the running job's stop flag, as the cycle set it
  std::string activity_;
  transport::StatusRecord status_;
  NetworkErrorList errors_;
  std::vector<std::function<void()>> idle_waiters_;
  // Hold the forwarding objects; defined in the implementation.
  struct Forwarders;
  std::unique_ptr<Forwarders> forwarders_;
};

}  // namespace pelrion::cycle
