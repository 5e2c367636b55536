// ClassifyMessage: where a freshly downloaded message goes (its status and folder flags),
// decided on the mail-check thread before the message is filed. The rules are tried in a
// fixed order and the first that applies decides:
//   1  an authorization request of another installation        -> 10, Inbox
//   2  a notification returning our X-KVX-UUID                  -> 9, Inbox (other value: 2c)
//   2a a notification returning our own Message-id (U pair)     -> 9, Inbox
//   2b a notification without returned headers naming our id   -> 9, Inbox
//   2c any other notification                                  -> 6, Junk Mail
//   3  no sender address                                        -> 4, Junk Mail
//   4  sender on Trusted Contacts                               -> 7, Inbox
//   4a sender on the Black List                                 -> 5, Junk Mail
//   5  sender's whole domain is a trusted domain                -> 12, Inbox
//   6  the account's own address without this installation's mark -> 4, Junk Mail
//   7  requests switched off ("challenge" 0)                    -> 11, Junk Mail
//   8  otherwise                                                -> 1, Quarantine
// The "junk" preference is never consulted: mail rejected on arrival always goes to Junk Mail.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "store/mail_account.h"
#include "store/message_record.h"
#include "store/trusted_domains.h"
#include "validation/classification_input.h"

namespace pelrion::validation {

// What the mail-check thread may consult while classifying. The address lists live on the
// main thread: the program passes a function that makes a synchronous call there
// (store::AddressCalls::LookupAddress); tests may look the table up directly.
struct ClassificationContext {
  // "USR" and 8 hexadecimal digits; an empty id matches no mark.
  std::string installation_id;
  // The "challenge" preference: 0 means unknown senders are rejected instead of challenged.
  std::uint32_t challenge = 1;
  // (list mask of the contact holding exactly this address) AND mask; 0 when unknown.
  std::function<std::uint32_t(std::string_view address, std::uint32_t mask)> lookup_address;
  // Read under its own lock; may be null when there are no trusted domains to consult.
  const store::TrustedDomainList* trusted_domains = nullptr;
};

// Sets message.status and adds the folder flags of the first rule that applies. The sender
// is message.summary.sender_address (lower case, as arrival analysis stores it). Touches
// nothing but the message.
void ClassifyMessage(store::MessageRecord& message, const store::MailAccount& account,
                     const ClassificationInput& input, const ClassificationContext& context);

}  // namespace pelrion::validation
