// PendingSenderList: the senders whose mail is held in the Quarantine, one entry per
// sender address, entries sorted by address bytes, each entry's messages sorted by
// ascending (unsigned) message id without duplicates. All messages of an entry share one
// authorization request: the request number, authorization code and request-sent time of
// the entry's first message (lowest id) are the entry's. Main thread only.
//
// The message store tells the list about Quarantine messages that arrive (HoldMessage)
// and leave by hand (ReleaseHeldMessage); the quarantine's own decisions remove whole
// entries (RemoveEntry).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/preferences.h"
#include "store/held_messages.h"
#include "store/message_record.h"
#include "store/message_table.h"

namespace pelrion::validation {

struct PendingSender {
  std::string address;                          // lower case, as the messages' summaries hold it
  std::vector<store::MessageRecord*> messages;  // never empty while in the list

  store::MessageRecord& first() const { return *messages.front(); }
};

// Request number 10000..99999 and authorization code 100000..999999 (0 for the Reply
// method), drawn from two successive Rand() values each.
struct RequestFields {
  std::int32_t request_number = 0;
  std::int32_t authorization_code = 0;
};
RequestFields DrawRequestFields(core::ValidationMethod method);

class PendingSenderList : public store::HeldMessages {
 public:
  // preferences gives the method of new entries; it must outlive the list.
  explicit PendingSenderList(const core::Preferences& preferences) : preferences_(preferences) {}
  PendingSenderList(const PendingSenderList&) = delete;
  PendingSenderList& operator=(const PendingSenderList&) = delete;

  // A newly filed Quarantine message (the store calls this while registering it).
  void HoldMessage(store::MessageRecord& message) override { HoldMessage(message, false); }
  // Puts the message into its sender's entry. Unless loading, a message joining an entry
  // takes the entry's request fields (its status is left alone), and a new entry draws its
  // request number and, for the CAPTCHA method, its code. The store calls it before it
  // writes the new record, so the changed fields are saved with it.
  void HoldMessage(store::MessageRecord& message, bool loading);
  // Takes the message out of its entry, dropping the entry when it empties; whether it was
  // there.
  bool ReleaseHeldMessage(store::MessageRecord& message) override;

  // Forgets every entry, then holds every Quarantine message of the table as at load:
  // nothing is drawn or saved. The result is that of holding them one by one, made with
  // one sort.
  void Rebuild(const store::MessageTable& messages);
  // The same from any records (those not in the Quarantine are skipped).
  void Rebuild(std::span<store::MessageRecord* const> records);

  // The entry of exactly this address, or null. The pointer stays valid until an entry is
  // added or the whole list is looked at (entries(), size(), empty()).
  PendingSender* Find(std::string_view address);
  // Removes the entry of exactly this address (its messages are not touched).
  void RemoveEntry(std::string_view address);

  // Entries in address order.
  const std::vector<PendingSender>& entries() const {
    DropVacated();
    return entries_;
  }
  std::size_t size() const { return entries().size(); }
  bool empty() const { return entries().empty(); }

 private:
  std::vector<PendingSender>::iterator LowerBound(std::string_view address);
  // The live (non-vacated) entry of exactly this address, or end().
  std::vector<PendingSender>::iterator FindEntry(std::string_view address);
  void Vacate(PendingSender& entry);
  // Takes the vacated entries out in one pass.
  void DropVacated() const;

  const core::Preferences& preferences_;
  // An entry whose last message leaves is vacated (its message list emptied) and stays in
  // its sorted place until the whole list is next looked at: a bulk move or an expiry that
  // empties many entries then costs one pass instead of one erase each. Find never returns
  // a vacated entry, and a sender held again takes its vacated place back.
  mutable std::vector<PendingSender> entries_;
  mutable std::size_t vacated_ = 0;
};

}  // namespace pelrion::validation
