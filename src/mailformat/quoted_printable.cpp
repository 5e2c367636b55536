#include "mailformat/quoted_printable.h"

#include <array>
#include <cstdint>
#include <cstring>

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

std::size_t QuotedPrintableDecodeLineInto(std::string_view line, char* out) {
  char* const start = out;
  char* p = start;
  const char* in = line.data();
  const char* const end = in + line.size();
  bool soft_break = false;
  while (in != end) {
    // Copy the run up to the next "=" at once.
    const auto* equals = static_cast<const char*>(std::memchr(in, '=', end - in));
    const char* const run_end = equals != nullptr ? equals : end;
    std::memcpy(p, in, static_cast<std::size_t>(run_end - in));
    p += run_end - in;
    in = run_end;
    if (in == end) break;
    const std::ptrdiff_t after = end - in - 1;  // characters after the "="
    if (after == 0) {
      soft_break = true;
      in = end;
    } else if (after >= 2) {
      const auto hi = kHexValue[static_cast<unsigned char>(in[1])];
      const auto lo = kHexValue[static_cast<unsigned char>(in[2])];
      *p++ = static_cast<char>((hi << 4) | lo);
      in += 3;
    } else {
      // Workaround for broken input: "=" and a single last character are kept as written.
      *p++ = '=';
      *p++ = in[1];
      in = end;
    }
  }
  if (!soft_break) {
    *p++ = '\r';
    *p++ = '\n';
  }
  return static_cast<std::size_t>(p - start);
}

std::size_t QuotedPrintableDecodeLine(std::string_view line, std::string& out) {
  const std::size_t old_size = out.size();
  out.resize(old_size + line.size() + 2);
  const std::size_t produced = QuotedPrintableDecodeLineInto(line, out.data() + old_size);
  out.resize(old_size + produced);
  return produced;
}

std::size_t QuotedPrintableDecodedSize(std::string_view line) {
  // Every byte counts but an escape's "=" and its two digits (one byte for three) and the "="
  // of a soft break; a line without a soft break gains CR LF.
  std::size_t size = line.size() + 2;
  const char* in = line.data();
  const char* const end = in + line.size();
  while (const auto* equals = static_cast<const char*>(std::memchr(in, '=', end - in))) {
    const std::ptrdiff_t after = end - equals - 1;
    if (after == 0) return size - 3;  // the "=" and CR LF
    if (after == 1) break;            // "=" and one character are kept as written
    size -= 2;
    in = equals + 3;
  }
  return size;
}

}  // namespace pelrion::mailformat
