// RequestFacts: what one authorization request is made of, taken from the held sender's
// representative message and the account the message arrived through.
#pragma once

#include <cstdint>
#include <string>

#include "store/mail_account.h"
#include "store/message_record.h"

namespace pelrion::validation {

struct RequestFacts {
  std::string sender_address;       // lower case, as arrival analysis found it
  std::string sender_name;          // the display name as written (quotes, encoded words)
  std::string sender_name_decoded;  // the same name decoded
  std::string subject;              // the Subject value as written, trimmed
  std::int32_t request_number = 0;
  std::int32_t authorization_code = 0;  // 0 for the Reply method, else the CAPTCHA code
  std::string user_email;               // the account's e-mail address
  std::string user_name;                // the account's display name
};

// The facts of the request for `message` (its request fields and summary strings) sent on
// behalf of `account`.
RequestFacts RequestFactsOf(const store::MessageRecord& message, const store::MailAccount& account);

}  // namespace pelrion::validation
