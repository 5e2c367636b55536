// Reading the marks that Pelrion installations put on the mail they send: a signature of
// the subject, the authorization-request mark and the installation id. They travel either
// as X-KVX-* header fields or packed into the program's own Message-id form
// ("<KVX.R.S-<signature>.<random><time>@host>", "<KVX.U-<id>.S-<signature>...@host>").
#pragma once

#include <string>
#include <string_view>

#include "mailformat/header_list.h"

namespace pelrion::validation {

struct PelrionMarks {
  bool is_authorization_request = false;
  bool signed_by_pelrion = false;
  std::string installation_mark;  // exactly 11 characters, or empty
};

// The marks of a message whose Subject as written is `subject` and whose trimmed
// Message-id is `message_id`. An X-KVX-Signature field, when present, is the only witness:
// if it fails, the Message-id is not consulted. A signature that does not verify leaves
// every mark unset.
PelrionMarks ReadPelrionMarks(const mailformat::HeaderList& headers, std::string_view subject,
                              std::string_view message_id);

// True when `message_id` has the program's own form and its dotted pairs include "R": the
// Message-id of an authorization request.
bool IsRequestMessageId(std::string_view message_id);

// True when a returned header block is that of an authorization request: it holds an
// X-KVX-AuthReq field, or else a Message-id that IsRequestMessageId accepts.
bool IsReturnedRequest(const mailformat::HeaderList& returned_headers);

}  // namespace pelrion::validation
