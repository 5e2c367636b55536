// Per-folder totals kept in memory: messages, unread messages (flag 0x08 clear) and the
// sum of their file sizes. They feed "%d message(s), %d unread" and the folder bar.
#pragma once

#include <array>
#include <cstdint>

#include "store/message_record.h"

namespace pelrion::store {

struct FolderCount {
  int messages = 0;
  int unread = 0;
  std::uint64_t size = 0;

  bool operator==(const FolderCount&) const = default;
};

class FolderCounters {
 public:
  // Counts the record in the folder its flags give: +1 message, +size, +1 unread if unread.
  void Link(const MessageRecord& record);
  // Takes it out again (call before its flags change).
  void Unlink(const MessageRecord& record);

  const FolderCount& Of(Folder folder) const { return counts_[static_cast<int>(folder)]; }
  void Clear() { counts_ = {}; }

 private:
  std::array<FolderCount, kFolderCount> counts_{};
};

}  // namespace pelrion::store
