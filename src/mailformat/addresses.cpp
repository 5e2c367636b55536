#include "mailformat/addresses.h"

#include "mailformat/ascii.h"
#include "mailformat/encoded_words.h"

namespace pelrion::mailformat {

namespace {

// Index of the first `close` at or after `from` that is not directly preceded by a backslash,
// or npos.
std::size_t FindUnescaped(std::string_view text, std::size_t from, char close) {
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == close && text[i - 1] != '\\') return i;
  }
  return std::string_view::npos;
}

// End of a bare word starting at `from`: the next space, TAB, comma, colon, semicolon or the end.
// Angle brackets and quotes inside a word do not end it.
std::size_t WordEnd(std::string_view text, std::size_t from) {
  std::size_t i = from;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == '\t' || c == ',' || c == ':' || c == ';') break;
    ++i;
  }
  return i;
}

// Appends the group's entry: the last token is the address, the others joined by single spaces
// form the display name.
void CloseGroup(const std::vector<std::string_view>& tokens, bool decode_names,
                ParsedAddressList& out) {
  if (tokens.empty()) return;
  std::string_view address = tokens.back();
  if (!address.empty() && address.front() == '<') {
    // Angle tokens always end in '>', so at least two bytes are there to strip.
    address = ascii::Trim(address.substr(1, address.size() >= 2 ? address.size() - 2 : 0));
  }
  out.addresses.push_back(ascii::ToLowerCopy(address));

  std::string name;
  for (std::size_t t = 0; t + 1 < tokens.size(); ++t) {
    if (t > 0) name += ' ';
    const std::string_view token = tokens[t];
    if (!decode_names) {
      name += token;
    } else if (token.front() == '"') {
      name += UnquoteString(token);
    } else {
      name += DecodeHeaderText(token);
    }
  }
  out.names.push_back(std::move(name));
}

}  // namespace

ParsedAddressList ParseAddressList(std::string_view value, bool decode_names) {
  ParsedAddressList out;
  std::vector<std::string_view> tokens;  // views into value; never empty views
  const std::size_t n = value.size();
  std::size_t i = 0;
  for (;;) {
    while (i < n && (value[i] == ' ' || value[i] == '\t')) ++i;
    if (i == n || value[i] == ',') {
      CloseGroup(tokens, decode_names, out);
      tokens.clear();
      if (i == n) break;
      ++i;
      continue;
    }
    const char c = value[i];
    if (c == ';') {  // end of an RFC 822 group: nothing to do, the comma or end closes it
      ++i;
      continue;
    }
    if (c == ':') {  // "group name:" (RFC 822 6.1): the label is no part of any address
      tokens.clear();
      ++i;
      continue;
    }
    std::size_t end = 0;  // one past the token
    if (c == '"') {
      const std::size_t close = FindUnescaped(value, i + 1, '"');
      if (close == std::string_view::npos) break;  // unterminated: the open group is dropped
      end = close + 1;
      // A quoted local part ("a b"@example.com) stays one token with its domain.
      if (end < n && value[end] == '@') end = WordEnd(value, end);
    } else if (c == '(') {
      const std::size_t close = FindUnescaped(value, i + 1, ')');
      if (close == std::string_view::npos) break;
      i = close + 1;  // comments are dropped
      continue;
    } else if (c == '<') {
      const std::size_t close = value.find('>', i + 1);
      if (close == std::string_view::npos) break;
      end = close + 1;
    } else {
      end = WordEnd(value, i);
    }
    tokens.push_back(value.substr(i, end - i));
    i = end;
  }
  return out;
}

std::optional<std::string> ExtractAngleAddress(std::string_view value) {
  const std::string_view trimmed = ascii::Trim(value);
  if (trimmed.size() < 2 || trimmed.front() != '<' || trimmed.back() != '>') return std::nullopt;
  return ascii::ToLowerCopy(ascii::Trim(trimmed.substr(1, trimmed.size() - 2)));
}

bool IsSystemSender(std::string_view address) {
  return address.empty() || address.starts_with("mailer-daemon@") ||
         address.starts_with("postmaster@");
}

bool IsValidAddress(std::string_view address) {
  const std::size_t at = address.find('@');
  return at != std::string_view::npos && at > 0 && at + 1 < address.size();
}

std::string DomainOf(std::string_view address) {
  const std::size_t at = address.find('@');
  if (at == std::string_view::npos) return {};
  return std::string(address.substr(at + 1));
}

std::string UnquoteString(std::string_view quoted) {
  if (quoted.size() < 2) return {};
  const std::string_view inner = quoted.substr(1, quoted.size() - 2);
  std::string out;
  out.reserve(inner.size());
  for (std::size_t i = 0; i < inner.size(); ++i) {
    if (inner[i] == '\\') {
      if (++i == inner.size()) break;  // a lone trailing backslash escapes nothing
    }
    out += inner[i];
  }
  return out;
}

std::string QuotePhraseIfNeeded(std::string_view phrase) {
  // The 13 specials of RFC 822 3.3, which also covers the double quote and backslash.
  constexpr std::string_view kSpecials = "()<>[]:;@\\,.\"";
  std::string out;
  out.reserve(phrase.size() + 2);
  out += '"';
  bool needs_quotes = false;
  for (const char c : phrase) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
    if (ascii::IsSpace(c) || kSpecials.find(c) != std::string_view::npos) needs_quotes = true;
  }
  if (!needs_quotes) return std::string(phrase);
  out += '"';
  return out;
}

std::string JoinDisplayNames(const std::vector<std::string>& names,
                             const std::vector<std::string>& addresses) {
  std::string out;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    if (i > 0) out += "; ";
    const bool has_name = i < names.size() && !names[i].empty();
    out += has_name ? names[i] : addresses[i];
  }
  return out;
}

std::string JoinNameAddressList(const std::vector<std::string>& names,
                                const std::vector<std::string>& addresses) {
  std::string out;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    if (i > 0) out += "; ";
    if (i < names.size() && !names[i].empty()) {
      out += names[i];
      out += " <";
      out += addresses[i];
      out += '>';
    } else {
      out += addresses[i];
    }
  }
  return out;
}

}  // namespace pelrion::mailformat
