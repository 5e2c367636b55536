// Quarantine: every decision about held messages that the main thread takes: the outcome
// of an authorization request (delivered, refused, bounced), the sender's reply, the time
// limit, and the final move of a held message out of the Quarantine. Each outcome looks the
// sender's entry up by exact address; an unknown address or a wrong request number is
// ignored silently. Main thread only: worker threads reach it through the QuarantineEvents
// (mail check) and RequestOutcomes (sending) interfaces of MainThreadQuarantineEvents.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/preferences.h"
#include "store/address_list_table.h"
#include "store/message_record.h"
#include "store/message_table.h"
#include "validation/pending_sender_list.h"

namespace pelrion::validation {

class Quarantine {
 public:
  // All four must outlive the quarantine; the preferences are read at each call.
  Quarantine(PendingSenderList& list, store::MessageTable& messages,
             store::AddressListTable& address_lists, const core::Preferences& preferences)
      : list_(list), messages_(messages), lists_(address_lists), preferences_(preferences) {}
  Quarantine(const Quarantine&) = delete;
  Quarantine& operator=(const Quarantine&) = delete;

  // The final decision on a held message: Inbox when accepted; when rejected, Junk Mail
  // with the "junk" preference on, Trash with it off. The sender's entry is not touched.
  void ResolveMessage(store::MessageRecord& message, bool accept);

  // The SMTP server accepted the request: every message of the entry gets the current time
  // as request-sent time and status 2. The entry stays.
  void RequestDelivered(std::string_view address);
  // The SMTP server refused the recipient (550, 553): the entry's messages are rejected
  // with status 4 and the entry removed.
  void RequestRefused(std::string_view address);
  // A notification says the request numbered number failed: as RequestRefused, but only
  // when number is the entry's request number.
  void RequestBounced(std::string_view address, std::int32_t number);
  // A reply carrying a Sender-ID tag arrived. With the entry's request number, the code
  // (CAPTCHA) somewhere in text, and the address not on the Black List, the address joins
  // Trusted Contacts (unless a contact holds it) and every message of the entry goes to
  // the Inbox with status 8; anything else leaves the messages held.
  void AuthorizationReplyReceived(std::string_view address, std::int32_t number,
                                  std::string_view text);
  // Rejects with status 3 every entry whose request went out more than "expire" days ago
  // (strictly); entries whose request was never sent never expire.
  void ExpireQuarantine();

 private:
  // Sets status on every message of the entry, resolves each, removes the entry.
  void ResolveEntry(PendingSender entry, std::int32_t status, bool accept);
  bool JunkPreference() const { return preferences_.junk != 0; }
  std::int64_t ExpireSeconds() const;

  PendingSenderList& list_;
  store::MessageTable& messages_;
  store::AddressListTable& lists_;
  const core::Preferences& preferences_;
};

}  // namespace pelrion::validation
