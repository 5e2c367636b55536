#include "import/mail_candidate.h"

#include <charconv>

#include "mailformat/ascii.h"

namespace pelrion::import {

std::optional<std::string> UsableText(std::optional<std::string_view> value) {
  if (!value || value->empty() || value->size() > kMaxCandidateText) return std::nullopt;
  return std::string(*value);
}

std::string TextOrEmpty(std::optional<std::string_view> value) {
  return UsableText(value).value_or(std::string());
}

std::optional<std::uint32_t> ParsePortText(std::string_view text) {
  std::uint32_t port = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return port;
}

std::uint32_t PortOr(std::optional<std::uint32_t> port, std::uint32_t fallback) {
  return port && *port >= 1 && *port <= 65535 ? *port : fallback;
}

bool CompleteCandidate(MailCandidate& candidate) {
  if (candidate.email_address.empty() || candidate.pop3_host.empty() ||
      candidate.pop3_user.empty() || candidate.smtp_host.empty()) {
    return false;
  }
  mailformat::ascii::ToLowerInPlace(candidate.email_address);
  if (candidate.display_name.empty()) candidate.display_name = candidate.email_address;
  if (candidate.friendly_name.empty()) candidate.friendly_name = candidate.email_address;
  return true;
}

}  // namespace pelrion::import
