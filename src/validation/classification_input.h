// ClassificationInput: the facts arrival analysis finds in one message that sender
// validation needs to decide where it goes.
#pragma once

#include <string>

#include "mailformat/header_list.h"

namespace pelrion::validation {

// What a delivery status notification carries about the message it returns.
struct DeliveryReport {
  bool is_delivery_status_notification = false;
  // The header block of the returned message (message/rfc822) or the returned header
  // block (text/rfc822-headers), when the notification carries one.
  bool returned_headers_found = false;
  mailformat::HeaderList returned_headers;
  // Otherwise the decoded first text part of the notification, at most 4096 bytes.
  bool report_text_used = false;
  std::string report_text;
};

struct ClassificationInput {
  // Correctly signed and marked as an authorization request (another installation's).
  bool is_authorization_request = false;
  // Correctly signed by some installation; informational, validation does not use it.
  bool signed_by_pelrion = false;
  // The installation id found in a correctly signed message: exactly 11 characters, or empty.
  std::string installation_mark;
  DeliveryReport report;
};

}  // namespace pelrion::validation
