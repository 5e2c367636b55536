// The fate of one downloaded message, decided on the mail-check thread after the POP3
// client has written its file and parsed its MIME structure. In this fixed order:
// arrival analysis (an unreadable header block discards the message), the duplicate key
// (trimmed Message-id, else the server's UIDL) against the account's remembered keys (the
// key is remembered only once the message is filed or consumed), the
// bounce check for a delivery status notification or the reply check for anything else
// (not for another installation's authorization request; a consumed message is never
// filed), ClassifyMessage, and finally the content fingerprint, the account id and the
// filing in the message store, which refuses a message whose account has gone.
// Discarding deletes the message file and the record.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "store/mail_account.h"
#include "store/message_calls.h"
#include "store/message_record.h"
#include "validation/classification.h"
#include "validation/classification_input.h"

namespace pelrion::validation {

// Arrival analysis and its two checks, run on the mail-check thread.
struct ArrivalChecks {
  // Fills the summary, the input and the trimmed Message-id (empty when absent); false
  // when the header block cannot be read.
  std::function<bool(store::MessageRecord&, ClassificationInput&, std::string& message_id)> analyse;
  // For a delivery status notification: true when it is consumed (a bounce of one of our
  // requests, already reported to the quarantine).
  std::function<bool(store::MessageRecord&, const DeliveryReport&)> check_bounce;
  // For any other message: true when it is consumed (its subject carries a Sender-ID tag).
  std::function<bool(store::MessageRecord&)> check_reply;
};

enum class MessageFate {
  kFiled,       // registered in the message store (held when in the Quarantine)
  kUnreadable,  // the header block or the file could not be read: discarded
  kDuplicate,   // its key was already remembered for the account: discarded
  kConsumed,    // a bounce of, or a reply to, an authorization request: discarded
  kRefused,     // the store refused it (the account no longer exists): discarded
};

// Whether the server's copy may go: the message is kept, consumed or already kept. A
// message discarded for any other reason stays on the server for the next check.
bool MayDeleteFromServer(MessageFate fate);

// What DecideMessageFate needs besides the message; everything must outlive the call.
struct FateServices {
  const ArrivalChecks& checks;
  const ClassificationContext& context;
  // The duplicate keys and the filing, run on the main thread.
  store::MessageCalls& calls;
};

// Decides and carries out the fate of message, whose file at file_path is complete and
// whose summary holds the header length, line count, size and MIME parts. uidl is asked
// only when the message has no Message-id (it may talk to the server; empty: no key).
MessageFate DecideMessageFate(std::unique_ptr<store::MessageRecord> message,
                              const std::string& file_path, const store::MailAccount& account,
                              const std::function<std::string()>& uidl,
                              const FateServices& services);

}  // namespace pelrion::validation
