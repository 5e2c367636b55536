// The main-thread port. One main thread owns every table and every store write; worker
// threads reach shared data only through Call, which runs a function on the main thread
// in arrival order while the worker waits. The main window's timers (ids 1-5) live here too.
// The program backs this with the Qt event loop; tests use PlainMainThread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace pelrion::platform {

class MainThread {
 public:
  virtual ~MainThread() = default;

  // Runs fn on the main thread and returns after it ran (directly when already there).
  // An exception thrown by fn is rethrown in the calling thread.
  virtual void Call(std::function<void()> fn) = 0;

  // As above, returning fn's result; fn may be move-only and is used by reference.
  template <typename F>
    requires(!std::is_same_v<std::decay_t<F>, std::function<void()>> && std::is_invocable_v<F&>)
  std::invoke_result_t<F&> Call(F&& fn) {
    using Result = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<Result>) {
      Call(std::function<void()>([&fn] { fn(); }));
    } else if constexpr (std::is_reference_v<Result>) {
      std::remove_reference_t<Result>* result = nullptr;
      Call(std::function<void()>([&] { result = &fn(); }));
      return static_cast<Result>(*result);
    } else {
      std::optional<Result> result;
      Call(std::function<void()>([&] { result.emplace(fn()); }));
      return std::move(*result);
    }
  }

  // (Re)starts timer id: fn runs on the main thread every period_ms until KillTimer(id).
  virtual void SetTimer(int id, int period_ms, std::function<void()> fn) = 0;
  virtual void KillTimer(int id) = 0;

  // Runs the calls queued so far (in the program, the other pending events too, except
  // user input); no-op off the main thread.
  virtual void PumpPending() = 0;

  // Waits for a worker to end while serving it: runs the calls workers make into the main
  // thread (a worker told to stop may be inside one, or in a FatalStop box) until ended()
  // holds, checking ended() after each call and at least every millisecond. In the program
  // the main thread's other events run too, except user input, which waits until this
  // returns: a click must not start a command in the middle of the operation that waits.
  // With a deadline, gives up once it has passed. True when ended() held, false when the
  // deadline came first. Off the main thread it only waits for ended().
  virtual bool WaitServing(const std::function<bool()>& ended,
                           std::optional<std::chrono::milliseconds> deadline = std::nullopt) = 0;

  virtual bool IsMainThread() const = 0;
};

// The deadline of a wait that starts now; nullopt stays "no deadline".
std::optional<std::chrono::steady_clock::time_point> DeadlineFromNow(
    std::optional<std::chrono::milliseconds> timeout);

// Polls ended() every millisecond until it holds (true) or the deadline has passed (false):
// the wait of a thread that has no calls to serve.
bool PollUntil(const std::function<bool()>& ended,
               std::optional<std::chrono::steady_clock::time_point> deadline);


// A main thread without an event loop: calls from other threads wait in a queue until the
// owning thread serves them (PumpPending, RunUntil); timers fire only through FireTimer.
class PlainMainThread : public MainThread {
 public:
  // The constructing thread becomes the main thread.
  PlainMainThread();

  using MainThread::Call;
  void Call(std::function<void()> fn) override;
  void SetTimer(int id, int period_ms, std::function<void()> fn) override;
  void KillTimer(int id) override;
  void PumpPending() override;
  bool WaitServing(const std::function<bool()>& ended,
                   std::optional<std::chrono::milliseconds> deadline = std::nullopt) override;
  bool IsMainThread() const override;

  // WaitServing without a deadline.
  void RunUntil(const std::function<bool()>& predicate);

  // Runs timer id's function once; false when no such timer is set.
  bool FireTimer(int id);
  // The period timer id was set with, or nullopt when it is not set.
  std::optional<int> TimerPeriod(int id) const;

 private:
  struct Request {
    std::function<void()> fn;
    std::exception_ptr error;
    bool done = false;
  };
  struct Timer {
    int period_ms;
    std::shared_ptr<std::function<void()>> fn;
  };

  // Runs one queued call if there is one; true when it did.
  bool ServeOne();

  const std::thread::id owner_;
  mutable std::mutex mutex_;
  std::condition_variable queued_;  // a request was queued
  std::condition_variable served_;  // a request was done
  std::deque<std::shared_ptr<Request>> queue_;
  std::map<int, Timer> timers_;
};

}  // namespace pelrion::platform
