#include "mailformat/message_ids.h"

#include "mailformat/ascii.h"

namespace pelrion::mailformat {

bool IsOwnMessageId(std::string_view value) {
  constexpr std::string_view kPrefix = "<KVX.";
  std::size_t i = 0;
  for (std::size_t k = 0; k < kPrefix.size(); ++k) {
    if (k > 0) {
      while (i < value.size() && ascii::IsSpace(value[i])) ++i;
    }
    if (i == value.size() || value[i] != kPrefix[k]) return false;
    ++i;
  }
  return value.find('@', i) != std::string_view::npos;
}

DottedPairs SplitDottedPairs(std::string_view value) {
  std::string compact;
  compact.reserve(value.size());
  for (const char c : value) {
    if (!ascii::IsSpace(c)) compact += c;
  }
  DottedPairs pairs;
  const std::size_t dot = compact.find('.');
  const std::size_t at = compact.find('@');
  if (dot == std::string::npos || at == std::string::npos || at < dot) return pairs;

  const std::string_view text(compact);
  std::size_t begin = dot + 1;
  for (;;) {
    const std::size_t end = text.find('.', begin);
    if (end == std::string_view::npos || end > at) break;  // the segment ending at "@" is left out
    const std::string_view segment = text.substr(begin, end - begin);
    const std::size_t dash = segment.find('-');
    if (dash == std::string_view::npos) {
      pairs.names.emplace_back(segment);
      pairs.values.emplace_back();
    } else {
      pairs.names.emplace_back(segment.substr(0, dash));
      pairs.values.emplace_back(segment.substr(dash + 1));
    }
    begin = end + 1;
  }
  return pairs;
}

}  // namespace pelrion::mailformat
