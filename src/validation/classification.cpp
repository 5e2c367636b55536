#include "validation/classification.h"

#include <optional>

#include "mailformat/addresses.h"
#include "mailformat/ascii.h"
#include "mailformat/header_block.h"
#include "mailformat/message_ids.h"
#include "validation/message_status.h"

namespace pelrion::validation {
namespace {

constexpr std::uint32_t kTrustedContactsMask = 0x1;
constexpr std::uint32_t kBlackListMask = 0x2;
constexpr std::uint32_t kBothListsMask = kTrustedContactsMask | kBlackListMask;

struct Verdict {
  std::int32_t status;
  std::uint32_t flags;  // added to the message's flags
};

constexpr std::uint32_t kToInbox = store::kFlagDecided | store::kFlagInbox;
constexpr std::uint32_t kToJunkMail = store::kFlagDecided;
constexpr std::uint32_t kToQuarantine = 0;

// An empty installation id would otherwise "match" every empty mark and every text.
bool IsOurId(std::string_view text, const std::string& installation_id) {
  return !installation_id.empty() && text == installation_id;
}

// The value of the "U" pair (name in any case) of the program's own Message-id form.
std::optional<std::string> OwnMessageIdInstallation(std::string_view message_id) {
  if (!mailformat::IsOwnMessageId(message_id)) return std::nullopt;
  const mailformat::DottedPairs pairs = mailformat::SplitDottedPairs(message_id);
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (mailformat::ascii::EqualsIgnoreCase(pairs.names[i], "U")) return pairs.values[i];
  }
  return std::nullopt;
}

// Steps 2 to 2c: does the notification concern a message this installation sent?
bool ReportConcernsUs(const DeliveryReport& report, const std::string& installation_id) {
  if (report.returned_headers_found) {
    const auto& headers = report.returned_headers;
    // A UUID field decides on its own: another installation's value is unprovoked.
    if (auto uuid = mailformat::FindHeader(headers, "X-KVX-UUID", /*trim=*/true)) {
      return IsOurId(*uuid, installation_id);
    }
    auto message_id = mailformat::FindHeader(headers, "Message-id", /*trim=*/true);
    if (!message_id) return false;
    auto installation = OwnMessageIdInstallation(*message_id);
    return installation && IsOurId(*installation, installation_id);
  }
  if (report.report_text_used) {
    return !installation_id.empty() &&
           report.report_text.find(installation_id) != std::string::npos;
  }
  return false;
}

bool IsTrustedDomainOf(const std::string& address, const ClassificationContext& context) {
  if (context.trusted_domains == nullptr) return false;
  return context.trusted_domains->IsTrustedDomain(mailformat::DomainOf(address));
}

Verdict Classify(const store::MessageRecord& message, const store::MailAccount& account,
                 const ClassificationInput& input, const ClassificationContext& context) {
  if (input.is_authorization_request) return {kStatusAuthorizationRequest, kToInbox};
  if (input.report.is_delivery_status_notification) {
    if (ReportConcernsUs(input.report, context.installation_id)) return {kStatusReport, kToInbox};
    return {kStatusUnprovokedReport, kToJunkMail};
  }
  const std::string address(message.summary.sender_address());
  if (address.empty()) return {kStatusRequestFailed, kToJunkMail};
  const std::uint32_t lists =
      context.lookup_address ? context.lookup_address(address, kBothListsMask) : 0;
  if ((lists & kTrustedContactsMask) != 0) return {kStatusTrustedContact, kToInbox};
  if (lists == kBlackListMask) return {kStatusBlacklisted, kToJunkMail};
  if (IsTrustedDomainOf(address, context)) return {kStatusTrustedDomain, kToInbox};
  // Someone using the user's own address passes only with this installation's mark, which
  // the outgoing relay puts on the user's own mail. The sender address is lower case; the
  // account's address is as the user typed it, so it is compared in lower case too, or an
  // address typed with capitals would let forged "own" mail through to a request.
  if (address == mailformat::ascii::ToLowerCopy(account.email_address.Text()) &&
      !IsOurId(input.installation_mark, context.installation_id)) {
    return {kStatusRequestFailed, kToJunkMail};
  }
  if (context.challenge == 0) return {kStatusNotTrusted, kToJunkMail};
  return {kStatusAwaitingRequest, kToQuarantine};
}

}  // namespace

void ClassifyMessage(store::MessageRecord& message, const store::MailAccount& account,
                     const ClassificationInput& input, const ClassificationContext& context) {
  const Verdict verdict = Classify(message, account, input, context);
  message.status = verdict.status;
  message.flags |= verdict.flags;
}

}  // namespace pelrion::validation
