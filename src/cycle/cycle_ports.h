// What the mail cycle drives and what it tells: the worker threads it starts (the program
// runs real mail-check and send threads, the tests record the calls) and the view that shows
// its state (the main window, or one line per change on standard error when headless).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "cycle/network_errors.h"
#include "transport/worker_reports.h"

namespace pelrion::cycle {

// The two workers of the cycle. At most one runs at a time; everything here is called on
// the main thread.
class CycleWorkers {
 public:
  virtual ~CycleWorkers() = default;

  // The ids of the accounts whose "Include this account when receiving mail" box is checked,
  // in account-table order.
  virtual std::vector<std::uint32_t> IncludedAccountIds() const = 0;

  // Starts the mail check of these accounts, in this order, on a new thread. The thread tells
  // reports what it does, from its own thread, and calls reports.Finished() as its last act.
  virtual void StartCheck(const std::vector<std::uint32_t>& account_ids,
                          transport::WorkerReports& reports) = 0;
  // Builds the queue of the authorization requests that are due; false when there is none
  // (nothing is started). Otherwise starts the send thread as StartCheck does.
  virtual bool StartSending(transport::WorkerReports& reports) = 0;

  // Sets the running worker's stop flag and shuts its socket down; nothing when none runs.
  virtual void StopWorker() = 0;
  // When the running worker's Finished() arrives on the main thread, before the cycle's
  // completion handler (which may start the next worker): gives back what the run held (the
  // send queue's references). Its thread is still inside Finished() then, waiting for the
  // main thread, so it must not be joined here; it returns right afterwards.
  virtual void WorkerEnded() = 0;
  // True while a worker thread exists that has not returned yet (it may be past Finished()).
  virtual bool ThreadAlive() const = 0;
};

// What the windows show of the cycle. Main thread.
class CycleView {
 public:
  virtual ~CycleView() = default;

  // The activity pane's text; empty clears it.
  virtual void ActivityChanged(std::string_view text) = 0;
  // The transfer status window's record (the "Stop" button follows status.busy).
  virtual void StatusChanged(const transport::StatusRecord& status) = 0;
  // A report was added to the network-error list (it may have replaced an older one).
  virtual void ReportAdded(const NetworkErrorReport& report) = 0;
  // The error pane, the offline pane and the tray icon with its tooltip: whether reports
  // exist, whether the program works offline.
  virtual void IndicatorsChanged(bool has_errors, bool offline) = 0;
};

}  // namespace pelrion::cycle
