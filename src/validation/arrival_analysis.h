// Arrival analysis: reads one freshly downloaded message (its file written, its MIME part
// table built) and finds everything validation and the message list need. Runs on the
// mail-check thread and touches only the new message.
#pragma once

#include <string>

#include "store/message_record.h"
#include "validation/classification_input.h"

namespace pelrion::validation {

// Reads the header block (the first summary.header_length bytes of `message_path`) and
// fills:
// - the summary's sender, names, subject, display texts and dates (ReadSummaryFields);
// - `input`: whether it is a delivery status notification and what it returns, and the
//   Pelrion marks (authorization request, signature, installation id);
// - `message_id`: the trimmed Message-id value, empty when absent.
// `temp_folder` (ending in '/') takes scratch files for returned header blocks.
// False only when the header block cannot be held in memory (or its length is unknown);
// the caller then discards the message. A file error ends the program like any store file
// error.
bool AnalyseMessage(store::MessageRecord& message, const std::string& message_path,
                    const std::string& temp_folder, ClassificationInput& input,
                    std::string& message_id);

// The trimmed Message-id value of a header block as read from the message file (folded
// lines allowed); empty when absent. AnalyseMessage finds the same value.
std::string MessageIdOfHeaderBlock(std::string block);

}  // namespace pelrion::validation
