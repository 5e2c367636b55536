#include "mailformat/quoted_printable.h"

#include <array>
#include <cstdint>

namespace pelrion::mailformat {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kMaxColumn = 75;  // the soft-break "=" makes 76

constexpr std::array<bool, 256> MakeMustEncode() {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = c < 0x20 || c >= 0x7F || c == '=' || c == '.';
  return table;
}
constexpr std::array<bool, 256> kMustEncode = MakeMustEncode();

// Value of a hexadecimal digit of either case; anything else counts as 0.
constexpr std::array<std::uint8_t, 256> MakeHexValue() {
  std::array<std::uint8_t, 256> table{};
  for (int c = '0'; c <= '9'; ++c) table[c] = c - '0';
  for (int c = 'A'; c <= 'F'; ++c) table[c] = c - 'A' + 10;
  for (int c = 'a'; c <= 'f'; ++c) table[c] = c - 'a' + 10;
  return table;
}
constexpr std::array<std::uint8_t, 256> kHexValue = MakeHexValue();

// Worst case: every byte encoded as 3 characters, and a 3-character soft break after every
// 25 encoded bytes (75 columns); plus slack for the last line.
std::size_t EncodedCapacity(std::size_t n) {
  return 3 * n + 3 * (n / 25) + 3;
}

}  // namespace

std::string QuotedPrintableEncode(std::string_view bytes) {
  std::string out(EncodedCapacity(bytes.size()), '\0');
  char* p = out.data();
  std::size_t column = 0;
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const bool next_is_cr = i + 1 < n && bytes[i + 1] == '\r';
    if (c == '\r' && i + 1 < n && bytes[i + 1] == '\n') {
      *p++ = '\r';
      *p++ = '\n';
      ++i;
      column = 0;
    } else if (kMustEncode[c] || (c == ' ' && next_is_cr)) {
      if (column + 3 > kMaxColumn) {
        *p++ = '=';
        *p++ = '\r';
        *p++ = '\n';
        column = 0;
      }
      *p++ = '=';
      *p++ = kHexDigits[c >> 4];
      *p++ = kHexDigits[c & 15];
      column += 3;
    } else {
      if (column + 1 > kMaxColumn) {
        *p++ = '=';
        *p++ = '\r';
        *p++ = '\n';
        column = 0;
      }
      *p++ = static_cast<char>(c);
      column += 1;
    }
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
  return out;
}

void QuotedPrintableEncodeInPlace(std::string& text) {
  text = QuotedPrintableEncode(text);
}

std::size_t QuotedPrintableDecodeLine(std::string_view line, std::string& out) {
  const std::size_t old_size = out.size();
  out.resize(old_size + line.size() + 2);
  char* const start = out.data() + old_size;
  char* p = start;
  const std::size_t n = line.size();
  bool soft_break = false;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = line[i];
    if (c != '=') {
      *p++ = c;
    } else if (i + 1 == n) {
      soft_break = true;
    } else if (i + 2 < n) {
      const auto hi = kHexValue[static_cast<unsigned char>(line[i + 1])];
      const auto lo = kHexValue[static_cast<unsigned char>(line[i + 2])];
      *p++ = static_cast<char>((hi << 4) | lo);
      i += 2;
    } else {
      // Workaround for broken input: "=" and a single last character are kept as written.
      *p++ = '=';
      *p++ = line[i + 1];
      i += 1;
    }
  }
  if (!soft_break) {
    *p++ = '\r';
    *p++ = '\n';
  }
  const auto produced = static_cast<std::size_t>(p - start);
  out.resize(old_size + produced);
  return produced;
}

}  // namespace pelrion::mailformat
