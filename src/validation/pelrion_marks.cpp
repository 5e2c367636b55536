#include "validation/pelrion_marks.h"

#include <optional>

#include "mailformat/ascii.h"
#include "mailformat/header_block.h"
#include "mailformat/message_ids.h"
#include "validation/request_marks.h"

namespace pelrion::validation {

namespace {

using mailformat::DottedPairs;
using mailformat::FindHeader;

constexpr std::size_t kInstallationIdLength = 11;

// The value of the first pair named `name` (any case), or nullopt.
std::optional<std::string_view> FindPair(const DottedPairs& pairs, std::string_view name) {
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (mailformat::ascii::EqualsIgnoreCase(pairs.names[i], name)) return pairs.values[i];
  }
  return std::nullopt;
}

// The Message-id carries the signature without its Base64 padding.
std::string PadToBase64Quantum(std::string_view text) {
  std::string padded(text);
  while (padded.size() % 4 != 0) padded += '=';
  return padded;
}

std::string InstallationMarkOf(std::string_view id) {
  return id.size() == kInstallationIdLength ? std::string(id) : std::string();
}

PelrionMarks MarksFromHeaderFields(const mailformat::HeaderList& headers, std::string_view subject,
                                   std::string_view signature) {
  PelrionMarks marks;
  if (!VerifySignature(subject, signature)) return marks;
  if (FindHeader(headers, kAuthRequestFieldName, false)) {
    marks.is_authorization_request = true;
    return marks;
  }
  marks.signed_by_pelrion = true;
  if (const std::optional<std::string> uuid = FindHeader(headers, kInstallationFieldName, true)) {
    marks.installation_mark = InstallationMarkOf(*uuid);
  }
  return marks;
}

PelrionMarks MarksFromMessageId(std::string_view subject, std::string_view message_id) {
  PelrionMarks marks;
  if (message_id.empty() || !mailformat::IsOwnMessageId(message_id)) return marks;
  const DottedPairs pairs = mailformat::SplitDottedPairs(message_id);
  const std::optional<std::string_view> signature = FindPair(pairs, "S");
  if (!signature || !VerifySignature(subject, PadToBase64Quantum(*signature))) return marks;
  if (FindPair(pairs, "R")) {
    marks.is_authorization_request = true;
    return marks;
  }
  marks.signed_by_pelrion = true;
  if (const std::optional<std::string_view> uuid = FindPair(pairs, "U")) {
    marks.installation_mark = InstallationMarkOf(*uuid);
  }
  return marks;
}

}  // namespace

PelrionMarks ReadPelrionMarks(const mailformat::HeaderList& headers, std::string_view subject,
                              std::string_view message_id) {
  if (const std::optional<std::string> signature = FindHeader(headers, kSignatureFieldName, true)) {
    return MarksFromHeaderFields(headers, subject, *signature);
  }
  return MarksFromMessageId(subject, message_id);
}

bool IsRequestMessageId(std::string_view message_id) {
  if (!mailformat::IsOwnMessageId(message_id)) return false;
  return FindPair(mailformat::SplitDottedPairs(message_id), "R").has_value();
}

bool IsReturnedRequest(const mailformat::HeaderList& returned_headers) {
  if (FindHeader(returned_headers, kAuthRequestFieldName, false)) return true;
  const std::optional<std::string> message_id = FindHeader(returned_headers, "Message-id", true);
  return message_id && IsRequestMessageId(*message_id);
}

}  // namespace pelrion::validation
