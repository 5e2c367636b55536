// The texts of a message's properties sheet, worked out from its record and stored file
// (without any window, so the headless side and tests can read them too).
#pragma once

#include <optional>
#include <string>

#include "mailformat/timestamp.h"
#include "store/message_record.h"

namespace pelrion::ui {

struct MessageGeneralFields {
  std::string title;     // the decoded subject, or "[No Subject]"
  std::string subject;   // the decoded subject
  std::string sender;    // "name <address>" entries joined with "; "
  std::string location;  // the folder's name
  std::string size;      // short size text
  std::string sent;      // list dates, blank when not known
  std::string received;
  std::string status;  // the status text
  // Only for a message in the Quarantine: when its request went out, or "[Pending]".
  std::optional<std::string> request_sent;
};

// message_path is the record's stored file, read for the From (or Sender) field.
MessageGeneralFields GeneralFieldsOf(const store::MessageRecord& record,
                                     const std::string& message_path);

// The entries of the message's From field, or of its Sender field when From yields none, as
// "name <address>" (a bare address when the name is empty) joined with "; ". Empty when the
// file cannot be read or neither field names anyone.
std::string SenderText(const std::string& message_path, std::int32_t header_length);

}  // namespace pelrion::ui
