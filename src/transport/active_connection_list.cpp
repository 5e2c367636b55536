#include "transport/active_connection_list.h"

namespace pelrion::transport {

ActiveConnectionList& ActiveConnectionList::Process() {
  static auto* const list = new ActiveConnectionList;
  return *list;
}

void ActiveConnectionList::Insert(ConnectionRecord* record) {
  std::lock_guard lock(mutex_);
  records_.insert(record);
  count_.store(records_.size(), std::memory_order_release);
}

void ActiveConnectionList::Remove(ConnectionRecord* record) {
  std::lock_guard lock(mutex_);
  records_.erase(record);
  count_.store(records_.size(), std::memory_order_release);
  if (records_.empty()) emptied_.notify_all();
}

void ActiveConnectionList::AbortAll() {
  std::lock_guard lock(mutex_);
  for (ConnectionRecord* record : records_) record->job.RequestStop();
}

bool ActiveConnectionList::WaitUntilEmpty(std::optional<std::chrono::milliseconds> timeout) {
  std::unique_lock lock(mutex_);
  const auto empty = [this] { return records_.empty(); };
  if (!timeout) {
    emptied_.wait(lock, empty);
    return true;
  }
  return emptied_.wait_for(lock, *timeout, empty);
}

}  // namespace pelrion::transport
