// What removing an account asks of the message store: a refused removal marks the account's
// messages so that the message list draws them in red, a completed one forgets the
// account's duplicate digests. The account window and the control command share it.
#pragma once

#include <cstdint>

#include "store/account_table.h"
#include "store/duplicate_digest_table.h"
#include "store/message_table.h"

namespace pelrion::store {

// View-state bit of a message highlighted by a refused account removal: drawn in red.
inline constexpr std::uint32_t kHighlightedViewState = 0x10;

class MessageStoreRemovalPeers : public AccountRemovalPeers {
 public:
  // Both tables outlive this object.
  MessageStoreRemovalPeers(MessageTable& messages, DuplicateDigestTable& digests)
      : messages_(messages), digests_(digests) {}

  void HighlightAccountMessages(std::uint32_t account_id) override;
  void ForgetDigests(std::uint32_t account_id) override;

 private:
  MessageTable& messages_;
  DuplicateDigestTable& digests_;
};

}  // namespace pelrion::store
