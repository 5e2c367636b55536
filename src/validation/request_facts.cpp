#include "validation/request_facts.h"

namespace pelrion::validation {

RequestFacts RequestFactsOf(const store::MessageRecord& message,
                            const store::MailAccount& account) {
  RequestFacts facts;
  facts.sender_address = message.summary.sender_address();
  facts.sender_name = message.summary.sender_name();
  facts.sender_name_decoded = message.summary.sender_name_decoded();
  facts.subject = message.summary.subject();
  facts.request_number = message.request_number;
  facts.authorization_code = message.authorization_code;
  facts.user_email = std::string(account.email_address.Text());
  facts.user_name = std::string(account.display_name.Text());
  return facts;
}

}  // namespace pelrion::validation
