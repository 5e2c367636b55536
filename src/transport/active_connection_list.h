// The connections being served: one ConnectionRecord per running session thread, in one
// process-wide list. Its own lock is held only to insert or remove; the count is read without
// it (the status bar, the connection limit, shutdown).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "transport/listener_work.h"
#include "transport/worker_job.h"

namespace pelrion::transport {

// The job of one session thread: its stop flag is set only when the program ends (AbortAll);
// slot 0 holds the client socket, slot 1 the upstream socket while the session has one open.
struct ConnectionRecord {
  WorkerJob job;
  std::shared_ptr<const ListenerWork> listener;
};

class ActiveConnectionList {
 public:
  // More simultaneous connections than this are closed at once, unserved.
  static constexpr std::size_t kLimit = 500;

  // The program's one list. It is never destroyed, so session threads still running at
  // process exit never touch a dead list.
  static ActiveConnectionList& Process();

  ActiveConnectionList() = default;
  ActiveConnectionList(const ActiveConnectionList&) = delete;
  ActiveConnectionList& operator=(const ActiveConnectionList&) = delete;

  // Read without the lock; may be a moment behind.
  std::size_t count() const { return count_.load(std::memory_order_acquire); }
  bool Full() const { return count() >= kLimit; }

  void Insert(ConnectionRecord* record);
  void Remove(ConnectionRecord* record);

  // The program is ending and the user agreed to abort the transfers: every session is told
  // to stop and its sockets are shut down (never closed: each session closes its own), so it
  // ends at once instead of touching the stores while they are taken apart.
  void AbortAll();

  // Waits until no record is left; false when the time-out passed first.
  bool WaitUntilEmpty(std::optional<std::chrono::milliseconds> timeout = std::nullopt);

 private:
  mutable std::mutex mutex_;
  std::condition_variable emptied_;
  std::set<ConnectionRecord*> records_;  // sorted by address
  std::atomic<std::size_t> count_{0};
};

}  // namespace pelrion::transport
