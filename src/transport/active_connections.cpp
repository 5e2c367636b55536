#include "transport/active_connections.h"

namespace pelrion::transport {

ActiveConnections& ActiveConnections::Process() {
  static auto* const list = new ActiveConnections;
  return *list;
}

void ActiveConnections::Insert(ConnectionRecord* record) {
  std::lock_guard lock(mutex_);
  records_.insert(record);
  count_.store(records_.size(), std::memory_order_release);
}

void ActiveConnections::Remove(ConnectionRecord* record) {
  std::lock_guard lock(mutex_);
  records_.erase(record);
  count_.store(records_.size(), std::memory_order_release);
  if (records_.empty()) emptied_.notify_all();
}

bool ActiveConnections::WaitUntilEmpty(std::optional<std::chrono::milliseconds> timeout) {
  std::unique_lock lock(mutex_);
  const auto empty = [this] { return records_.empty(); };
  if (!timeout) {
    emptied_.wait(lock, empty);
    return true;
  }
  return emptied_.wait_for(lock, *timeout, empty);
}

}  // namespace pelrion::transport
