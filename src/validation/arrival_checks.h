// The two checks that can consume a downloaded message before it is filed: a delivery
// status notification about one of this installation's authorization requests (the
// bounce check), and a reply whose subject carries a Sender-ID tag (the reply check).
// Both run on the mail-check thread after AnalyseMessage and report through `events`.
#pragma once

#include <string>

#include "store/message_record.h"
#include "validation/classification_input.h"
#include "validation/delivery_report.h"
#include "validation/quarantine_events.h"

namespace pelrion::validation {

// For a delivery status notification: true when it concerns an authorization request
// (its returned headers carry the request marks, or its text names the request mark or a
// request Message-id); the message is then consumed. A decodable Sender-ID tag in the
// returned Subject (or anywhere in the text) is reported as RequestBounced.
bool CheckBounce(const store::MessageRecord& message, const DeliveryReport& report,
                 QuarantineEvents& events);

// For any other message that is not an authorization request: true when the decoded
// subject carries a Sender-ID tag; the message is then consumed. A decodable tag is
// reported as AuthorizationReplyReceived with the message's text (at most 4096 bytes) read
// from `message_path`; a malformed one is consumed silently.
bool CheckReply(const store::MessageRecord& message, const std::string& message_path,
                QuarantineEvents& events);

}  // namespace pelrion::validation
