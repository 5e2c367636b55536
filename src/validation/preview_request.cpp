#include "validation/preview_request.h"

#include "platform/random.h"
#include "validation/authorization_request.h"
#include "validation/file_request_output.h"
#include "validation/pending_sender_list.h"
#include "validation/request_facts.h"

namespace pelrion::validation {

std::optional<std::string> PreviewAuthorizationRequest(const core::Preferences& page_settings,
                                                       const std::string& temp_folder) {
  const RequestFields fields = DrawRequestFields(core::SelectedMethod(page_settings));

  RequestFacts facts;
  facts.sender_address = kPreviewSenderEmail;
  facts.sender_name = kPreviewSenderName;
  facts.sender_name_decoded = kPreviewSenderName;
  facts.subject = kPreviewSubject;
  facts.request_number = fields.request_number;
  facts.authorization_code = fields.authorization_code;
  facts.user_email = kPreviewUserEmail;
  facts.user_name = kPreviewUserName;

  const std::string path =
      temp_folder + "P" + std::to_string(static_cast<unsigned>(platform::Rand())) + ".eml";
  FileRequestOutput output(path);
  ComposeAuthorizationRequest(facts, output, page_settings);
  if (!output.Close()) return std::nullopt;
  return path;
}

}  // namespace pelrion::validation
