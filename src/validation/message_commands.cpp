#include "validation/message_commands.h"

#include <vector>

namespace pelrion::validation {

void ApproveMessages(store::AddressListTable& lists, store::MessageTable& messages,
                     std::span<store::MessageRecord* const> selection) {
  lists.ApproveSenders(selection);
  messages.MoveMessages(selection, store::Folder::kInbox);
}

void BlacklistMessages(store::AddressListTable& lists, store::MessageTable& messages,
                       std::span<store::MessageRecord* const> selection) {
  lists.BlacklistSenders(selection);
  messages.MoveMessages(selection, store::Folder::kTrash);
}

void DeleteMessages(store::MessageTable& messages,
                    std::span<store::MessageRecord* const> selection) {
  std::vector<store::MessageRecord*> in_trash;
  std::vector<store::MessageRecord*> elsewhere;
  for (store::MessageRecord* record : selection) {
    (record->folder() == store::Folder::kTrash ? in_trash : elsewhere).push_back(record);
  }
  // Those moved to Trash now stay there; only the ones that were in it already go for good.
  if (!in_trash.empty()) messages.DeleteMessages(in_trash, /*keep_if_busy=*/true);
  if (!elsewhere.empty()) messages.MoveMessages(elsewhere, store::Folder::kTrash);
}

bool DeletesForGood(std::span<store::MessageRecord* const> selection) {
  for (const store::MessageRecord* record : selection) {
    if (record->folder() == store::Folder::kTrash) return true;
  }
  return false;
}

bool EmptyTrash(store::MessageTable& messages) {
  if (messages.Counter(store::Folder::kTrash).messages == 0) return false;
  messages.EmptyFolder(store::Folder::kTrash);
  return true;
}

}  // namespace pelrion::validation
