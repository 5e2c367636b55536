// The main-thread port on the Qt event loop: calls from other threads are queued to an
// object living on the main thread and the caller blocks until they ran
// (Qt::BlockingQueuedConnection); timers are QTimers. Construct it on the main thread after
// the QCoreApplication/QApplication.
#pragma once

#include <map>
#include <memory>

#include "platform/main_thread.h"

class QObject;
class QTimer;

namespace pelrion::platform {

class QtMainThread : public MainThread {
 public:
  QtMainThread();
  ~QtMainThread() override;
  QtMainThread(const QtMainThread&) = delete;
  QtMainThread& operator=(const QtMainThread&) = delete;

  using MainThread::Call;
  void Call(std::function<void()> fn) override;
  // Timers may be set and killed from any thread; the change is made on the main thread.
  void SetTimer(int id, int period_ms, std::function<void()> fn) override;
  void KillTimer(int id) override;
  // Processes pending events (queued calls, timers, repaints) except user input; no-op off
  // the main thread.
  void PumpPending() override;
  // Runs the event loop without user input: input from the window system stays queued, and
  // input events posted or sent meanwhile are held and posted again when the wait ends.
  bool WaitServing(const std::function<bool()>& ended,
                   std::optional<std::chrono::milliseconds> deadline = std::nullopt) override;
  bool IsMainThread() const override;

 private:
  std::unique_ptr<QObject> context_;  // lives on the main thread; receives queued calls
  std::map<int, QTimer*> timers_;     // main thread only; children of context_
};

}  // namespace pelrion::platform
