// Reading SMTP reply lines: whether more lines follow, and the keyword an EHLO reply line
// announces. Shared by the sending worker and the relay in front of the mail program.
#pragma once

#include <cstddef>
#include <string_view>

namespace pelrion::transport {

// A longer reply line from a server is a refusal rather than unbounded memory.
inline constexpr std::size_t kSmtpReplyLineLimit = 64 * 1024;

// True when the fourth character is '-': another line of the same reply follows.
constexpr bool IsContinuedReply(std::string_view line) {
  return line.size() > 3 && line[3] == '-';
}

// The first word after the code of an EHLO reply line ("250-SIZE 1000" gives "SIZE"), or empty.
std::string_view EhloKeyword(std::string_view line);

// True when the EHLO reply line announces keyword (ASCII case ignored).
bool AnnouncesKeyword(std::string_view line, std::string_view keyword);

}  // namespace pelrion::transport
