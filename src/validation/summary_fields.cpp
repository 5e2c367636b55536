#include "validation/summary_fields.h"

#include <optional>
#include <string>
#include <string_view>

#include "mailformat/addresses.h"
#include "mailformat/encoded_words.h"
#include "mailformat/header_block.h"
#include "mailformat/mail_date.h"
#include "mailformat/timestamp.h"

namespace pelrion::validation {

namespace {

using mailformat::HeaderList;

// The sender is whichever of these fields first names exactly one address: Sender names
// the agent that actually sent the mail (RFC 5322 3.6.2), so it beats From.
constexpr std::string_view kSenderFields[] = {"Sender", "From", "Reply-To"};

void ChooseSender(const HeaderList& headers, store::MessageSummary& summary) {
  std::string address, name, name_decoded;
  for (std::string_view field : kSenderFields) {
    if (!address.empty()) break;
    const std::optional<std::string> value = mailformat::FindHeader(headers, field, false);
    if (!value) continue;
    mailformat::ParsedAddressList list = mailformat::ParseAddressList(*value, false);
    // A field naming several senders (or none) cannot say which one to ask.
    if (list.size() != 1) continue;
    address = std::move(list.addresses.front());
    name = std::move(list.names.front());
    // Decoded word by word as the display texts are: a quoted word unquoted, any other
    // word RFC 2047 decoded, so "John" Smith reads John Smith.
    if (!name.empty()) name_decoded = std::move(mailformat::ParseAddressList(*value, true).names.front());
  }
  summary.set_sender_address(address);
  summary.set_sender_name(name);
  summary.set_sender_name_decoded(name_decoded);
}

// JoinDisplayNames of the field's addresses with their names decoded; empty when absent.
std::string DisplayTextOf(const HeaderList& headers, std::string_view field) {
  const std::optional<std::string> value = mailformat::FindHeader(headers, field, false);
  if (!value) return {};
  return mailformat::JoinDisplayNames(mailformat::ParseAddressList(*value, true));
}

mailformat::Timestamp SentDate(const HeaderList& headers) {
  const std::optional<std::string> date = mailformat::FindHeader(headers, "Date", false);
  return date ? mailformat::ParseMailDate(*date) : mailformat::kNoDate;
}

// The first Received field is the one the last relay (the user's own server) added.
mailformat::Timestamp ReceivedDate(const HeaderList& headers, mailformat::Timestamp sent) {
  const std::optional<std::string> received = mailformat::FindHeader(headers, "Received", false);
  if (!received) return sent;
  const std::optional<std::string> date_text = mailformat::ExtractReceivedDate(*received);
  return date_text ? mailformat::ParseMailDate(*date_text) : mailformat::kNoDate;
}

}  // namespace

void ReadSummaryFields(const HeaderList& headers, store::MessageSummary& summary) {
  ChooseSender(headers, summary);

  std::string from = DisplayTextOf(headers, "From");
  if (from.empty()) from = DisplayTextOf(headers, "Sender");
  summary.set_from_text(from);
  summary.set_to_text(DisplayTextOf(headers, "To"));
  summary.set_cc_text(DisplayTextOf(headers, "Cc"));

  summary.sent = SentDate(headers);
  summary.received = ReceivedDate(headers, summary.sent);

  const std::string subject =
      mailformat::FindHeader(headers, "Subject", true).value_or(std::string());
  summary.set_subject(subject);
  summary.set_subject_decoded(mailformat::DecodeHeaderText(subject));
  summary.has_strings = true;
}

}  // namespace pelrion::validation
