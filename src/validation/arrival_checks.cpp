#include "validation/arrival_checks.h"

#include <optional>

#include "mailformat/ascii.h"
#include "mailformat/header_block.h"
#include "mailformat/message_text.h"
#include "validation/pelrion_marks.h"
#include "validation/request_marks.h"

namespace pelrion::validation {

namespace {

// The "<...>" that follows the first "message-id:" (any case) and white space in a plain
// report, as offset and length; npos when the text quotes no such id there.
struct QuotedMessageId {
  std::size_t offset = std::string_view::npos;
  std::size_t length = 0;
};

QuotedMessageId FindQuotedMessageId(std::string_view text) {
  // Searching a lower-cased copy keeps positions equal to those in the original text.
  const std::string lower = mailformat::ascii::ToLowerCopy(text);
  constexpr std::string_view kLabel = "message-id:";
  std::size_t at = lower.find(kLabel);
  if (at == std::string::npos) return {};
  at += kLabel.size();
  while (at < text.size() && mailformat::ascii::IsSpace(text[at])) ++at;
  if (at >= text.size() || text[at] != '<') return {};
  const std::size_t close = text.find('>', at);
  if (close == std::string_view::npos) return {};
  return {at, close - at + 1};
}

// Where the Sender-ID tag of the bounced request is to be found, or nullopt when the
// notification is not about a request. An empty text (a returned block without Subject)
// still concerns a request.
std::optional<std::string> BouncedTagText(const DeliveryReport& report) {
  if (report.returned_headers_found) {
    if (!IsReturnedRequest(report.returned_headers)) return std::nullopt;
    return mailformat::FindHeader(report.returned_headers, "Subject", true).value_or(std::string());
  }
  if (!report.report_text_used) return std::nullopt;
  const std::string_view text = report.report_text;
  if (text.find(kAuthRequestFieldName) == std::string_view::npos) {
    const QuotedMessageId id = FindQuotedMessageId(text);
    if (id.offset == std::string_view::npos) return std::nullopt;
    if (!IsRequestMessageId(text.substr(id.offset, id.length))) return std::nullopt;
  }
  return report.report_text;
}

}  // namespace

bool CheckBounce(const store::MessageRecord& /*message*/, const DeliveryReport& report,
                 QuarantineEvents& events) {
  const std::optional<std::string> tag_text = BouncedTagText(report);
  if (!tag_text) return false;
  const SenderIdTag tag = ParseSenderIdTag(*tag_text);
  if (tag.decoded) events.RequestBounced(tag.address, static_cast<std::int32_t>(tag.number));
  return true;
}

bool CheckReply(const store::MessageRecord& message, const std::string& message_path,
                QuarantineEvents& events) {
  const SenderIdTag tag = ParseSenderIdTag(message.summary.subject_decoded());
  if (!tag.tag_present) return false;
  if (!tag.decoded) return true;
  const std::string text =
      mailformat::ReadMessageText(message.summary.part_table(), message_path, kReportTextLimit);
  events.AuthorizationReplyReceived(tag.address, static_cast<std::int32_t>(tag.number), text);
  return true;
}

}  // namespace pelrion::validation
