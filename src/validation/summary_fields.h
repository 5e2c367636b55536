// The display facts arrival analysis stores in a new message's summary: the sender to
// validate and its name, the From/To/Cc display texts, the Sent and Received dates and the
// subject, all read from the message's own header fields.
#pragma once

#include "mailformat/header_list.h"
#include "store/message_summary.h"

namespace pelrion::validation {

// Sets sender_address, sender_name, sender_name_decoded, subject, subject_decoded,
// from_text, to_text, cc_text, sent and received of `summary` from `headers`, and marks
// the summary as carrying its strings. Missing fields leave empty texts and -1 dates.
void ReadSummaryFields(const mailformat::HeaderList& headers, store::MessageSummary& summary);

}  // namespace pelrion::validation
