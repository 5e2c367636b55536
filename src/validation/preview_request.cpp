#include "validation/preview_request.h"

#include <unistd.h>

#include "mailformat/temp_files.h"
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

  // A new name, never a file (or a link) that is already there.
  std::optional<mailformat::TempFile> file = mailformat::CreateTempFile(temp_folder, "P", ".eml");
  if (!file) return std::nullopt;
  FileRequestOutput output(file->fd);
  ComposeAuthorizationRequest(facts, output, page_settings);
  if (!output.Close()) {
    ::unlink(file->path.c_str());  // nothing half-written is left for the viewer
    return std::nullopt;
  }
  return file->path;
}

}  // namespace pelrion::validation
