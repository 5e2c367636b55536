// The quarantine's side of the message store: a newly registered Quarantine message is
// handed to HoldMessage; a Quarantine message that is moved or deleted is handed to
// ReleaseHeldMessage. Sender validation implements it; this base class itself holds nothing
// (tools and tests that have no quarantine pass one).
#pragma once

#include "store/message_record.h"

namespace pelrion::store {

class HeldMessages {
 public:
  virtual ~HeldMessages() = default;

  // Puts a Quarantine message into its sender's entry. Called before the new message is
  // written: it may change the record's request fields, and the store saves them with it.
  virtual void HoldMessage(MessageRecord& record) { (void)record; }
  // Removes the message from its sender's entry; whether it was found there.
  virtual bool ReleaseHeldMessage(MessageRecord& record) {
    (void)record;
    return false;
  }
};

}  // namespace pelrion::store
