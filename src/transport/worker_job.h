#pragma once
// WorkerJob: what a controlling thread needs to stop a worker that may be blocked on a socket.
// The controller sets the stop flag and shuts the worker's sockets down; it never closes them.
// Linux reuses a descriptor number at once and `close` does not wake a thread blocked on it, so
// only the worker closes, and it takes the handle out of the job first (ClearSocket) under the
// same lock the controller shuts down under: a number the worker has closed is never touched.
#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>

namespace pelrion::transport {

class WorkerJob {
 public:
  // A session holds its client connection and, while it passes a conversation on, an upstream
  // one; every other worker uses slot 0 alone.
  static constexpr std::size_t kSocketSlots = 2;

  WorkerJob() = default;
  WorkerJob(const WorkerJob&) = delete;
  WorkerJob& operator=(const WorkerJob&) = delete;

  bool StopRequested() const { return stop_.load(std::memory_order_acquire); }

  // Worker, right after creating or accepting the socket. A stop that came before is applied
  // to the new socket at once, so the worker cannot block on it.
  void SetSocket(int fd, std::size_t slot = 0);
  // Worker, before it closes the socket in that slot.
  void ClearSocket(std::size_t slot = 0);
  // Worker, before it closes fd: clears whichever slot holds it (none is fine).
  void ForgetSocket(int fd);
  // The descriptor in a slot, -1 when none.
  int SocketIn(std::size_t slot = 0) const;

  // Controller: set the flag, then shut down every socket the job holds. Never closes.
  void RequestStop();

 private:
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::array<int, kSocketSlots> sockets_{-1, -1};
};

}  // namespace pelrion::transport
