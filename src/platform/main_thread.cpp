#include "platform/main_thread.h"

#include <chrono>

namespace pelrion::platform {

std::optional<std::chrono::steady_clock::time_point> DeadlineFromNow(
    std::optional<std::chrono::milliseconds> timeout) {
  if (!timeout) return std::nullopt;
  return std::chrono::steady_clock::now() + *timeout;
}

bool PollUntil(const std::function<bool()>& ended,
               std::optional<std::chrono::steady_clock::time_point> deadline) {
  while (!ended()) {
    if (deadline && std::chrono::steady_clock::now() >= *deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

PlainMainThread::PlainMainThread() : owner_(std::this_thread::get_id()) {}

bool PlainMainThread::IsMainThread() const { return std::this_thread::get_id() == owner_; }

void PlainMainThread::Call(std::function<void()> fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  auto request = std::make_shared<Request>();
  request->fn = std::move(fn);
  std::unique_lock lock(mutex_);
  queue_.push_back(request);
  queued_.notify_all();
  served_.wait(lock, [&] { return request->done; });
  if (request->error) std::rethrow_exception(request->error);
}

bool PlainMainThread::ServeOne() {
  std::shared_ptr<Request> request;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    request = std::move(queue_.front());
    queue_.pop_front();
  }
  try {
    request->fn();
  } catch (...) {
    request->error = std::current_exception();
  }
  {
    std::lock_guard lock(mutex_);
    request->done = true;
    // Dropped under the lock, so the waiting caller holds the last reference and the
    // request (with any exception in it) is destroyed on the caller's thread.
    request.reset();
  }
  served_.notify_all();
  return true;
}

void PlainMainThread::PumpPending() {
  if (!IsMainThread()) return;
  while (ServeOne()) {
  }
}

bool PlainMainThread::WaitServing(const std::function<bool()>& ended,
                                  std::optional<std::chrono::milliseconds> deadline) {
  const auto until = DeadlineFromNow(deadline);
  if (!IsMainThread()) return PollUntil(ended, until);
  while (!ended()) {
    if (until && std::chrono::steady_clock::now() >= *until) return false;
    if (ServeOne()) continue;
    // ended() may turn true without a queued call (a worker set a flag), so the wait is
    // bounded and ended() checked again.
    std::unique_lock lock(mutex_);
    queued_.wait_for(lock, std::chrono::milliseconds(1), [&] { return !queue_.empty(); });
  }
  return true;
}

void PlainMainThread::RunUntil(const std::function<bool()>& predicate) {
  WaitServing(predicate);
}

void PlainMainThread::SetTimer(int id, int period_ms, std::function<void()> fn) {
  std::lock_guard lock(mutex_);
  timers_[id] = Timer{period_ms, std::make_shared<std::function<void()>>(std::move(fn))};
}

void PlainMainThread::KillTimer(int id) {
  std::lock_guard lock(mutex_);
  timers_.erase(id);
}

bool PlainMainThread::FireTimer(int id) {
  std::shared_ptr<std::function<void()>> fn;
  {
    std::lock_guard lock(mutex_);
    auto it = timers_.find(id);
    if (it == timers_.end()) return false;
    fn = it->second.fn;  // kept alive even if the function kills or resets its own timer
  }
  (*fn)();
  return true;
}

std::optional<int> PlainMainThread::TimerPeriod(int id) const {
  std::lock_guard lock(mutex_);
  auto it = timers_.find(id);
  if (it == timers_.end()) return std::nullopt;
  return it->second.period_ms;
}

}  // namespace pelrion::platform
