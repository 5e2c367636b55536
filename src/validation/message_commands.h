// What the main window's message commands do to the stores, for the window and for the
// control command alike. Nothing here asks the user: a caller that must ask (Delete in Trash)
// asks first.
#pragma once

#include <span>

#include "store/address_list_table.h"
#include "store/message_record.h"
#include "store/message_table.h"

namespace pelrion::validation {

// Every sender becomes a trusted contact; the messages not in the Inbox move there (held
// ones are released).
void ApproveMessages(store::AddressListTable& lists, store::MessageTable& messages,
                     std::span<store::MessageRecord* const> selection);

// Every sender goes on the Black List; the messages not in Trash move there.
void BlacklistMessages(store::AddressListTable& lists, store::MessageTable& messages,
                       std::span<store::MessageRecord* const> selection);

// Messages in Trash are deleted for good with their files; the others move to Trash.
void DeleteMessages(store::MessageTable& messages,
                    std::span<store::MessageRecord* const> selection);

// True when any message of the selection is in Trash, so Delete would remove it for good.
bool DeletesForGood(std::span<store::MessageRecord* const> selection);

// Deletes every message of Trash for good; false when Trash was empty already.
bool EmptyTrash(store::MessageTable& messages);

}  // namespace pelrion::validation
