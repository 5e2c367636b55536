#include "mailformat/protocol_text.h"

#include "mailformat/ascii.h"

namespace pelrion::mailformat {
namespace {

// The value of c as a digit in bases up to 36, or 99 when c is not a digit or letter.
int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

}  // namespace

std::vector<std::string> SplitBySpace(std::string_view line) {
  std::vector<std::string> words;
  std::size_t start = 0;
  for (;;) {
    const std::size_t space = line.find(' ', start);
    if (space == std::string_view::npos) break;
    words.emplace_back(line.substr(start, space - start));
    start = space + 1;
  }
  std::string_view last = line.substr(start);
  while (!last.empty() && ascii::IsSpace(last.back())) last.remove_suffix(1);
  words.emplace_back(last);
  return words;
}

std::int32_t ParseStrictInt(std::string_view text, int radix) {
  if (text.empty()) return 0;
  if (radix != 0 && (radix < 2 || radix > 36)) return NotAnInteger;
  std::size_t pos = 0;
  while (pos < text.size() && ascii::IsSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // A "0x" prefix counts only when a hexadecimal digit follows it; otherwise the "0" alone is
  // the number and the "x" is a remaining character, as with strtol.
  const bool hex_prefix = pos + 2 < text.size() && text[pos] == '0' &&
                          (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
                          DigitValue(text[pos + 2]) < 16;
  if (radix == 0) {
    if (hex_prefix) {
      radix = 16;
    } else if (pos < text.size() && text[pos] == '0') {
      radix = 8;
    } else {
      radix = 10;
    }
  }
  if (radix == 16 && hex_prefix) pos += 2;

  // Accumulate in 64 bits, saturating just beyond the 32-bit range so that huge inputs cannot
  // overflow; any value outside the range ends up at a 32-bit limit and fails.
  constexpr std::int64_t kCap = std::int64_t{1} << 32;
  const std::size_t digits_start = pos;
  std::int64_t value = 0;
  while (pos < text.size()) {
    const int digit = DigitValue(text[pos]);
    if (digit >= radix) break;
    value = value * radix + digit;
    if (value > kCap) value = kCap;
    ++pos;
  }
  if (pos == digits_start) return NotAnInteger;  // no digits: the whole text remains
  if (pos != text.size()) return NotAnInteger;
  if (negative) value = -value;
  if (value <= std::numeric_limits<std::int32_t>::min() ||
      value >= std::numeric_limits<std::int32_t>::max()) {
    return NotAnInteger;
  }
  return static_cast<std::int32_t>(value);
}

std::uint32_t ParseStrictUnsigned(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && ascii::IsSpace(text[pos])) ++pos;
  // A minus sign would wrap around with the standard conversion; such a text is no unsigned
  // number, so it is refused.
  if (pos < text.size() && text[pos] == '+') ++pos;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
  std::uint64_t value = 0;
  const std::size_t digits_start = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
    if (value > kMax) value = kMax;
    ++pos;
  }
  if (pos == digits_start || pos != text.size() || value >= kMax) return 0;
  return static_cast<std::uint32_t>(value);
}

std::int32_t ParseIndex(std::string_view text, std::int32_t limit) {
  const std::int32_t value = ParseStrictInt(text, 10);
  return value >= 1 && value <= limit ? value : 0;
}

std::int32_t ReplyCodeOf(std::string_view line) {
  return ParseStrictInt(line.substr(0, 3), 10);
}

bool IsPositiveReply(std::string_view line) {
  return line.starts_with("+OK");
}

}  // namespace pelrion::mailformat
