#include "mailformat/find_substring.h"

#include <cstring>

namespace pelrion::mailformat {
namespace {

std::uint32_t Byte(char c) {
  return static_cast<unsigned char>(c);
}

}  // namespace

std::ptrdiff_t FindSubstring(std::string_view pattern, std::string_view text,
                             std::uint32_t multiplier) {
  const std::size_t length = pattern.size();
  if (length == 0) return 0;
  if (text.size() < length) return -1;

  // hash(s) = s[0]*m^(k-1) + ... + s[k-1], all arithmetic modulo 2^32 (unsigned wrap-around).
  std::uint32_t pattern_hash = 0;
  std::uint32_t window_hash = 0;
  std::uint32_t leading_weight = 1;  // m^(k-1): the weight of the byte leaving the window
  for (std::size_t i = 0; i < length; ++i) {
    pattern_hash = pattern_hash * multiplier + Byte(pattern[i]);
    window_hash = window_hash * multiplier + Byte(text[i]);
    if (i + 1 < length) leading_weight *= multiplier;
  }

  const std::size_t last_start = text.size() - length;
  for (std::size_t start = 0;; ++start) {
    // Equal hashes may be a collision: only equal bytes count as a match.
    if (window_hash == pattern_hash &&
        std::memcmp(text.data() + start, pattern.data(), length) == 0) {
      return static_cast<std::ptrdiff_t>(start);
    }
    if (start == last_start) return -1;
    window_hash = (window_hash - Byte(text[start]) * leading_weight) * multiplier +
                  Byte(text[start + length]);
  }
}

}  // namespace pelrion::mailformat
