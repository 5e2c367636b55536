// The account settings read from another e-mail program, before the user types a password:
// the rules every reader applies to what it found in that program's files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "store/account_creation.h"

namespace pelrion::import {

// A candidate carries only the friendly name, display name, e-mail address, POP3 server,
// port and login name, and SMTP server and port.
using MailCandidate = store::NewAccount;

// The longest text a candidate's field takes; a longer source value would not fit the
// stored account, so it counts as missing rather than being cut.
inline constexpr std::size_t kMaxCandidateText = 255;

// value when it is 1 to kMaxCandidateText bytes long, otherwise nothing.
std::optional<std::string> UsableText(std::optional<std::string_view> value);
// UsableText, or an empty text.
std::string TextOrEmpty(std::optional<std::string_view> value);

// A decimal port: text that is wholly digits and fits 32 bits, otherwise nothing.
std::optional<std::uint32_t> ParsePortText(std::string_view text);

// port when it is 1 to 65535, otherwise fallback.
std::uint32_t PortOr(std::optional<std::uint32_t> port, std::uint32_t fallback);

// The last step of every reader: true when the e-mail address, POP3 server, login name and
// SMTP server are all set; then the address is lower-cased and an empty display name or
// friendly name becomes the address.
bool CompleteCandidate(MailCandidate& candidate);

}  // namespace pelrion::import
