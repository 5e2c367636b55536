#include "mailformat/mime_part_node.h"

#include <optional>

#include "mailformat/base64.h"
#include "mailformat/header_block.h"
#include "mailformat/line_reader.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/quoted_printable.h"

namespace pelrion::mailformat {

BoundaryKind BoundaryKindOf(std::string_view line, std::string_view boundary) {
  if (!line.starts_with("--") || line.substr(2, boundary.size()) != boundary) {
    return BoundaryKind::kNone;
  }
  if (line.substr(2 + boundary.size(), 2) == "--") return BoundaryKind::kClose;
  return BoundaryKind::kNextPart;
}

void MimePartNode::ParseHeaders(bool may_nest) {
  // The root keeps its raw header text for the caller; a part's is not needed any more.
  std::string text = parent != nullptr ? std::move(header_text) : header_text;
  if (parent != nullptr) std::string().swap(header_text);
  UnfoldHeaderBlock(text);
  const HeaderList headers = SplitHeaderBlock(text);

  mime = parent != nullptr || FindHeader(headers, "MIME-Version", false).has_value();
  if (!mime) return;  // a plain message's Content-Type means nothing

  MimeParameters parameters;
  if (const std::optional<std::string> value = FindHeader(headers, "Content-Type", false)) {
    if (std::optional<ContentType> parsed = ParseContentType(*value)) {
      type = std::move(parsed->type);
      subtype = std::move(parsed->subtype);
      parameters = std::move(parsed->parameters);
    }
  } else if (parent != nullptr && parent->subtype == "digest") {
    // RFC 2046 5.1.5: the default type inside a digest.
    type = "message";
    subtype = "rfc822";
  }

  if (type == "multipart") {
    std::optional<std::string> found = FindParameter(parameters, "boundary");
    if (may_nest && found && !found->empty()) {
      multipart = true;
      boundary = std::move(*found);
      return;
    }
    type = "text";
    subtype = "plain";
  }

  if (std::optional<std::string> found = FindParameter(parameters, "name")) name = *found;
  if (const std::optional<std::string> value =
          FindHeader(headers, "Content-Transfer-Encoding", false)) {
    transfer_encoding = TransferEncodingCode(*value);
  }
  if (transfer_encoding == TransferEncoding::kUndecodable) undecodable = true;

  if (!name.empty()) {
    attachment = true;
    return;
  }
  const std::optional<std::string> value = FindHeader(headers, "Content-Disposition", false);
  if (!value) return;
  const std::optional<Disposition> disposition = ParseDisposition(*value);
  if (!disposition) return;
  if (std::optional<std::string> file_name = FindParameter(disposition->parameters, "filename")) {
    name = std::move(*file_name);
    attachment = true;
  } else if (disposition->type == "attachment" || disposition->type == "inline") {
    attachment = true;
  }
}

void MimePartNode::TakeBodyLine(std::string_view line) {
  if (undecodable) return;
  switch (transfer_encoding) {
    case TransferEncoding::kBase64: {
      if (base64_end) return;  // after the padded line: not part of the data
      // Only the size is needed here; the bytes are decoded when the part is read.
      const Base64DecodeResult result = Base64DecodedSize(line);
      if (!result.ok) {
        undecodable = true;
        return;
      }
      if (result.ended_at_pad) base64_end = true;
      decoded_size += static_cast<std::uint32_t>(result.size);
      break;
    }
    case TransferEncoding::kQuotedPrintable:
      decoded_size += static_cast<std::uint32_t>(QuotedPrintableDecodedSize(StripLineEnd(line)));
      break;
    default:
      decoded_size += static_cast<std::uint32_t>(line.size());
      break;
  }
  ++body_line_count;
}

}  // namespace pelrion::mailformat
