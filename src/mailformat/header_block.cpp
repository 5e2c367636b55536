#include "mailformat/header_block.h"

#include "mailformat/ascii.h"

namespace pelrion::mailformat {

void UnfoldHeaderBlock(std::string& text) {
  // One compacting pass instead of erasing in a loop. The continuation test looks ahead in the
  // unread part of the text, and scanning resumes at the kept white space, so a CR LF that only
  // comes to stand before a space through an earlier deletion is not deleted (as when the block
  // is scanned forward and each deletion is made on the spot).
  const std::size_t n = text.size();
  std::size_t out = 0;
  std::size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (c == '\r' && i + 2 < n && text[i + 1] == '\n' &&
        (text[i + 2] == ' ' || text[i + 2] == '\t')) {
      i += 2;  // drop the line break; the continuation's white space is copied next
      continue;
    }
    text[out++] = (c == '\t') ? ' ' : c;
    ++i;
  }
  text.resize(out);
}

HeaderList SplitHeaderBlock(std::string_view text) {
  HeaderList headers;
  std::size_t pos = 0;
  while (pos < text.size()) {
    // The colon search deliberately crosses line ends: a colon-less line joins the next name.
    const std::size_t colon = text.find(':', pos);
    if (colon == std::string_view::npos) break;
    const std::size_t line_end = text.find("\r\n", colon + 1);
    if (line_end == std::string_view::npos) break;  // an unterminated last line is not taken
    headers.names.emplace_back(text.substr(pos, colon - pos));
    headers.values.emplace_back(text.substr(colon + 1, line_end - colon - 1));
    pos = line_end + 2;
  }
  return headers;
}

std::optional<std::string> FindHeader(const HeaderList& headers, std::string_view name, bool trim) {
  const std::ptrdiff_t index = FindString(headers.names, name, true);
  if (index < 0 || static_cast<std::size_t>(index) >= headers.values.size()) return std::nullopt;
  const std::string& value = headers.values[static_cast<std::size_t>(index)];
  if (!trim) return value;
  return std::string(ascii::Trim(value));
}

std::ptrdiff_t FindString(const std::vector<std::string>& list, std::string_view text,
                          bool ignore_case) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (ignore_case ? ascii::EqualsIgnoreCase(list[i], text) : list[i] == text) {
      return static_cast<std::ptrdiff_t>(i);
    }
  }
  return -1;
}

}  // namespace pelrion::mailformat
