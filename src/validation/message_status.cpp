#include "validation/message_status.h"

#include <array>

namespace pelrion::validation {

namespace {

// Codes 0 to 11; the trusted-domain code 12 has no text of its own.
constexpr std::array<std::string_view, 12> kTexts = {
    "[Unassigned]",
    "Waiting to send authorization request",
    "Waiting for reply to authorization request",
    "Quarantine time limit has expired",
    "Delivery of authorization request has failed",
    "Contact is blacklisted",
    "Unprovoked delivery status notification",
    "Sender is listed in 'Trusted Contacts'",
    "Sender has authorized themselves",
    "Delivery status notification",
    "Pelrion Authorization Request",
    "Sender is not on your list of trusted",
};

}  // namespace

std::string_view MessageStatusText(std::int32_t status) {
  if (status < 0 || status >= static_cast<std::int32_t>(kTexts.size())) return {};
  return kTexts[static_cast<std::size_t>(status)];
}

}  // namespace pelrion::validation
