// ASCII-only character helpers for header text. No locale is consulted: bytes of 0x80 and
// above are never letters or white space, so 8-bit header bytes pass through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::mailformat::ascii {

// True for space, TAB, LF, VT, FF and CR (the "C" locale's white space).
constexpr bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// 'A'..'Z' mapped to 'a'..'z'; every other byte unchanged.
constexpr char ToLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Lower-cases the ASCII letters of text in place.
inline void ToLowerInPlace(std::string& text) {
  for (char& c : text) c = ToLower(c);
}

// A copy of text with its ASCII letters lower-cased.
inline std::string ToLowerCopy(std::string_view text) {
  std::string out(text);
  ToLowerInPlace(out);
  return out;
}

// Whole-string equality ignoring the case of ASCII letters.
constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToLower(a[i]) != ToLower(b[i])) return false;
  }
  return true;
}

// text without leading and trailing white space (IsSpace); a view into text.
constexpr std::string_view Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

}  // namespace pelrion::mailformat::ascii
