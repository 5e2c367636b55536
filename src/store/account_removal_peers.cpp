#include "store/account_removal_peers.h"

namespace pelrion::store {

// Only the in-memory view state changes: the highlight is for this run's list, not stored.
void MessageStoreRemovalPeers::HighlightAccountMessages(std::uint32_t account_id) {
  for (MessageRecord* record : messages_.records()) {
    if (record->account_id == account_id) record->view_state |= kHighlightedViewState;
  }
}

void MessageStoreRemovalPeers::ForgetDigests(std::uint32_t account_id) {
  digests_.ForgetDigests(account_id);
}

}  // namespace pelrion::store
