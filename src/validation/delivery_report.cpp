#include "validation/delivery_report.h"

#include <optional>

#include "mailformat/addresses.h"
#include "mailformat/ascii.h"
#include "mailformat/header_block.h"
#include "mailformat/message_text.h"
#include "mailformat/mime_parameters.h"

namespace pelrion::validation {

namespace {

using mailformat::HeaderList;
using mailformat::PartEntry;
using mailformat::PartTable;

// Bounces come from the null reverse-path (RFC 5321 4.5.5) or a system mailbox; only the
// angle form counts, as a mail server writes it.
bool HasSystemReturnPath(const HeaderList& headers) {
  const std::optional<std::string> return_path =
      mailformat::FindHeader(headers, "Return-Path", false);
  if (!return_path) return false;
  const std::optional<std::string> address = mailformat::ExtractAngleAddress(*return_path);
  return address && mailformat::IsSystemSender(*address);
}

// RFC 3462: multipart/report; report-type=delivery-status.
bool IsDeliveryStatusReport(const HeaderList& headers, const PartTable& parts) {
  if (parts.mime == 0) return false;
  const std::optional<std::string> value = mailformat::FindHeader(headers, "Content-Type", false);
  if (!value) return false;
  const std::optional<mailformat::ContentType> type = mailformat::ParseContentType(*value);
  if (!type || type->type != "multipart" || type->subtype != "report") return false;
  const std::optional<std::string> report_type =
      mailformat::FindParameter(type->parameters, "report-type");
  return report_type && mailformat::ascii::EqualsIgnoreCase(*report_type, "delivery-status");
}

bool IsReturnedMessagePart(const PartEntry& part) {
  return (part.type == "message" && part.subtype == "rfc822") ||
         (part.type == "text" && part.subtype == "rfc822-headers");
}

}  // namespace

bool IsDeliveryStatusNotification(const HeaderList& headers, const PartTable& parts) {
  return HasSystemReturnPath(headers) || IsDeliveryStatusReport(headers, parts);
}

// The returned header block is read in memory; the scratch folder is no longer used.
void CollectReturnedContent(const PartTable& parts, const std::string& message_path,
                            const std::string& /*temp_folder*/, DeliveryReport& report) {
  if (parts.mime != 0) {
    for (const PartEntry& part : parts.parts) {
      if (!IsReturnedMessagePart(part)) continue;
      if (std::optional<HeaderList> returned = mailformat::ReadInnerHeaders(part, message_path)) {
        report.returned_headers = std::move(*returned);
        report.returned_headers_found = true;
      }
      break;
    }
  }
  if (!report.returned_headers_found) {
    report.report_text = mailformat::ReadMessageText(parts, message_path, kReportTextLimit);
    report.report_text_used = true;
  }
}

}  // namespace pelrion::validation
