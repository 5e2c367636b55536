#include "mailformat/encoded_words.h"

#include <algorithm>

#include "mailformat/addresses.h"
#include "mailformat/base64.h"

namespace pelrion::mailformat {
namespace {

// An encoded word is 9..511 characters: "=?" charset "?" encoding "?" text "?=".
constexpr std::size_t kMinWordLength = 9;
constexpr std::size_t kMaxWordLength = 511;
// A word is encoded whole when E(length) stays within this (44 bytes or fewer).
constexpr std::size_t kMaxEncodedSize = 62;
constexpr std::size_t kChunkBytes = 30;

constexpr bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

constexpr int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Length of the word starting at `pos`: up to the next space, TAB or the end.
std::size_t WordEnd(std::string_view text, std::size_t pos) {
  while (pos < text.size() && !IsBlank(text[pos])) ++pos;
  return pos;
}

// RFC 2047 section 4.2 "Q" decoding of `text`, appended to `out`. An "=" without two hex
// digits after it is kept as written (workaround for broken input). "=00" gives 0xFF, so
// the decoded word cannot cut the text short.
void AppendQDecoded(std::string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '_') {
      out += ' ';
    } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
               HexValue(text[i + 2]) >= 0) {
      const int value = HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]);
      out += static_cast<char>(value == 0 ? 0xFF : value);
      i += 2;
    } else {
      out += c;
    }
  }
}

// Appends the decoding of `word` when it is a well-formed encoded word (RFC 2047 section 2)
// and returns true; returns false, appending nothing, when it is to be copied as written.
bool AppendDecodedWord(std::string_view word, std::string& out) {
  if (word.size() < kMinWordLength || word.size() > kMaxWordLength) return false;
  if (!word.starts_with("=?") || !word.ends_with("?=")) return false;
  const std::size_t question = word.find('?', 2);
  if (question == std::string_view::npos || question == 2) return false;  // empty charset
  if (word.size() - (question + 1) < 5) return false;
  const char encoding = word[question + 1];
  if (word[question + 2] != '?') return false;
  const std::size_t text_begin = question + 3;
  const std::string_view text = word.substr(text_begin, word.size() - 2 - text_begin);
  switch (encoding) {
    case 'B':
    case 'b':
      if (text.size() % 4 != 0) return false;
      return Base64Decode(text, out).ok;
    case 'Q':
    case 'q':
      // Q decoding never lengthens the text, so the 511-byte limit per word holds.
      AppendQDecoded(text, out);
      return true;
    default:
      return false;
  }
}

void AppendEncodedWord(std::string_view bytes, std::string& out) {
  out += "=?UNKNOWN?B?";
  out += Base64Encode(bytes);
  out += "?=";
}

}  // namespace

std::string DecodeHeaderText(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  std::size_t pos = 0;
  while (pos < value.size()) {
    if (IsBlank(value[pos])) {
      out += value[pos++];
      continue;
    }
    const std::size_t end = WordEnd(value, pos);
    const std::string_view word = value.substr(pos, end - pos);
    if (!AppendDecodedWord(word, out)) out += word;
    pos = end;
  }
  // The text is kept as a zero-terminated string: it ends at its first zero byte.
  const std::size_t zero = out.find('\0');
  if (zero != std::string::npos) out.resize(zero);
  return out;
}

std::string EncodeHeaderText(std::string_view phrase) {
  std::string out;
  out.reserve(Base64EncodedSize(phrase.size()) + phrase.size() + 16);
  bool whole_phrase_checked = false;
  std::size_t pos = 0;
  while (pos < phrase.size()) {
    if (IsBlank(phrase[pos])) {
      out += phrase[pos++];
      continue;
    }
    const std::size_t end = WordEnd(phrase, pos);
    const std::string_view word = phrase.substr(pos, end - pos);
    pos = end;
    if (IsSevenBit(word)) {
      out += QuotePhraseIfNeeded(word);
      continue;
    }
    if (!whole_phrase_checked) {
      whole_phrase_checked = true;
      if (Base64EncodedSize(phrase.size()) <= kMaxEncodedSize) {
        // Short enough: one word for the whole phrase, its outer white space included.
        out.clear();
        AppendEncodedWord(phrase, out);
        return out;
      }
    }
    if (Base64EncodedSize(word.size()) <= kMaxEncodedSize) {
      AppendEncodedWord(word, out);
      continue;
    }
    for (std::size_t chunk = 0; chunk < word.size(); chunk += kChunkBytes) {
      AppendEncodedWord(word.substr(chunk, kChunkBytes), out);
      out += ' ';
    }
  }
  return out;
}

bool IsSevenBit(std::string_view text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace pelrion::mailformat
