// The quarantine's side of the message store: a newly registered Quarantine message is
// handed to HoldMessage; a Quarantine message that is moved or deleted is handed to
// ReleaseHeldMessage. Sender validation implements it; the default does nothing.
#pragma once

#include "store/message_record.h"

namespace pelrion::store {

class HeldMessages {
 public:
  virtual ~HeldMessages() = default;

  // Puts a Quarantine message into its sender's entry (may change and save its fields).
  virtual void HoldMessage(MessageRecord& record) { (void)record; }
  // Removes the message from its sender's entry; whether it was found there.
  virtual bool ReleaseHeldMessage(MessageRecord& record) {
    (void)record;
    return false;
  }
};

}  // namespace pelrion::store
