#include "store/folder_counters.h"

namespace pelrion::store {

void FolderCounters::Link(const MessageRecord& record) {
  FolderCount& count = counts_[static_cast<int>(record.folder())];
  ++count.messages;
  count.size += record.summary.file_size;
  if (!record.read()) ++count.unread;
}

void FolderCounters::Unlink(const MessageRecord& record) {
  FolderCount& count = counts_[static_cast<int>(record.folder())];
  --count.messages;
  count.size -= record.summary.file_size;
  if (!record.read()) --count.unread;
}

}  // namespace pelrion::store
