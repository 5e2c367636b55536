#include "transport/smtp_reply_text.h"

#include "mailformat/ascii.h"

namespace pelrion::transport {

std::string_view EhloKeyword(std::string_view line) {
  if (line.size() <= 4) return {};
  const std::string_view rest = mailformat::ascii::Trim(line.substr(4));
  std::size_t end = 0;
  while (end < rest.size() && !mailformat::ascii::IsSpace(rest[end])) ++end;
  return rest.substr(0, end);
}

bool AnnouncesKeyword(std::string_view line, std::string_view keyword) {
  return mailformat::ascii::EqualsIgnoreCase(EhloKeyword(line), keyword);
}

}  // namespace pelrion::transport
