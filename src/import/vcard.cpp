#include "import/vcard.h"

#include <array>
#include <optional>
#include <string>

#include "import/charset_to_utf8.h"
#include "mailformat/ascii.h"
#include "mailformat/base64.h"
#include "mailformat/quoted_printable.h"

namespace pelrion::import {
namespace {

namespace ascii = mailformat::ascii;

struct Parameter {
  std::string name;   // upper case; empty for a 2.1 bare value ("INTERNET", "QUOTED-PRINTABLE")
  std::string value;  // quotes removed
};

struct ContentLine {
  std::string name;  // upper case, group removed
  std::vector<Parameter> parameters;
  std::string_view value;
};

std::string UpperCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

// The position of the first c outside double quotes at or after from, or npos.
std::size_t FindUnquoted(std::string_view text, char c, std::size_t from = 0) {
  bool quoted = false;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (text[i] == '"')
      quoted = !quoted;
    else if (text[i] == c && !quoted)
      return i;
  }
  return std::string_view::npos;
}

Parameter ParseParameter(std::string_view text) {
  Parameter parameter;
  const auto equals = text.find('=');
  std::string_view value = text;
  if (equals != std::string_view::npos) {
    parameter.name = UpperCopy(ascii::Trim(text.substr(0, equals)));
    value = text.substr(equals + 1);
  }
  value = ascii::Trim(value);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = value.substr(1, value.size() - 2);
  }
  parameter.value = std::string(value);
  return parameter;
}

// "[group.]NAME *(;param):value"; nullopt when there is no ":".
std::optional<ContentLine> ParseContentLine(std::string_view line) {
  const auto colon = FindUnquoted(line, ':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view head = line.substr(0, colon);
  ContentLine parsed;
  parsed.value = line.substr(colon + 1);
  auto semicolon = FindUnquoted(head, ';');
  std::string_view name = head.substr(0, semicolon);
  if (const auto dot = name.rfind('.'); dot != std::string_view::npos) {
    name.remove_prefix(dot + 1);
  }
  parsed.name = UpperCopy(ascii::Trim(name));
  while (semicolon != std::string_view::npos) {
    const auto next = FindUnquoted(head, ';', semicolon + 1);
    const std::string_view text =
        head.substr(semicolon + 1, next == std::string_view::npos ? next : next - semicolon - 1);
    if (!ascii::Trim(text).empty()) parsed.parameters.push_back(ParseParameter(text));
    semicolon = next;
  }
  return parsed;
}

// The value of parameter name ("CHARSET"), or empty.
std::string_view ParameterValue(const ContentLine& line, std::string_view name) {
  for (const Parameter& parameter : line.parameters) {
    if (parameter.name == name) return parameter.value;
  }
  return {};
}

// Each word of the TYPE parameters (and the 2.1 bare values), upper case.
std::vector<std::string> TypeWords(const ContentLine& line) {
  std::vector<std::string> words;
  for (const Parameter& parameter : line.parameters) {
    if (!parameter.name.empty() && parameter.name != "TYPE") continue;
    std::string_view rest = parameter.value;
    while (!rest.empty()) {
      const auto comma = rest.find(',');
      words.push_back(UpperCopy(ascii::Trim(rest.substr(0, comma))));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  return words;
}

bool IsQuotedPrintable(const ContentLine& line) {
  for (const std::string& word : TypeWords(line)) {
    if (word == "QUOTED-PRINTABLE") return true;
  }
  return ascii::EqualsIgnoreCase(ParameterValue(line, "ENCODING"), "QUOTED-PRINTABLE");
}

bool IsBase64(const ContentLine& line) {
  for (const std::string& word : TypeWords(line)) {
    if (word == "BASE64") return true;
  }
  const std::string_view encoding = ParameterValue(line, "ENCODING");
  return ascii::EqualsIgnoreCase(encoding, "B") || ascii::EqualsIgnoreCase(encoding, "BASE64");
}

// Mail systems of the 2.1 EMAIL types whose addresses are not Internet addresses.
bool IsOtherMailSystem(const ContentLine& line) {
  static constexpr std::array<std::string_view, 11> kOthers = {
      "AOL",     "APPLELINK",  "ATTMAIL", "CIS", "EWORLD", "IBMMAIL",
      "MCIMAIL", "POWERSHARE", "PRODIGY", "TLX", "X400"};
  for (const std::string& word : TypeWords(line)) {
    for (std::string_view other : kOthers) {
      if (word == other) return true;
    }
  }
  return false;
}

// The value's bytes after its transfer encoding and character set, still escaped.
std::string DecodedValue(const ContentLine& line) {
  std::string bytes;
  if (IsQuotedPrintable(line)) {
    mailformat::QuotedPrintableDecodeLine(line.value, bytes);
    if (bytes.ends_with("\r\n")) bytes.resize(bytes.size() - 2);
  } else if (IsBase64(line)) {
    mailformat::Base64Decode(line.value, bytes);
  } else {
    bytes = std::string(line.value);
  }
  return CharsetToUtf8(bytes, ParameterValue(line, "CHARSET"));
}

// "\n", "\,", "\;", "\\" as the text they stand for.
std::string Unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const char next = text[++i];
    out.push_back(next == 'n' || next == 'N' ? '\n' : next);
  }
  return out;
}

std::string TextValue(const ContentLine& line) {
  return std::string(ascii::Trim(Unescaped(DecodedValue(line))));
}

// N is "family;given;additional;prefix;suffix": shown as "prefix given additional family
// suffix", the empty ones left out.
std::string NameFromStructured(const ContentLine& line) {
  const std::string value = DecodedValue(line);
  std::vector<std::string> parts;
  std::string part;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      part += value.substr(i, 2);
      ++i;
    } else if (value[i] == ';') {
      parts.push_back(std::string(ascii::Trim(Unescaped(part))));
      part.clear();
    } else {
      part.push_back(value[i]);
    }
  }
  parts.push_back(std::string(ascii::Trim(Unescaped(part))));
  parts.resize(5);
  std::string name;
  for (const std::size_t index : {3u, 1u, 2u, 0u, 4u}) {
    if (parts[index].empty()) continue;
    if (!name.empty()) name.push_back(' ');
    name += parts[index];
  }
  return name;
}

class CardReader {
 public:
  // One unfolded content line.
  void Take(std::string_view text) {
    const std::optional<ContentLine> line = ParseContentLine(text);
    if (!line) return;
    if (line->name == "BEGIN" && ascii::EqualsIgnoreCase(ascii::Trim(line->value), "VCARD")) {
      if (++depth_ == 1) card_ = Card{};
      return;
    }
    if (line->name == "END" && ascii::EqualsIgnoreCase(ascii::Trim(line->value), "VCARD")) {
      if (depth_ == 1) Finish();
      if (depth_ > 0) --depth_;
      return;
    }
    if (depth_ != 1) return;
    if (line->name == "VERSION") {
      card_.version_21 = ascii::Trim(line->value) == "2.1";
    } else if (line->name == "FN" && card_.full_name.empty()) {
      card_.full_name = TextValue(*line);
    } else if (line->name == "N" && card_.structured_name.empty()) {
      card_.structured_name = NameFromStructured(*line);
    } else if (line->name == "EMAIL" && !IsOtherMailSystem(*line)) {
      std::string address = TextValue(*line);
      if (!address.empty()) card_.addresses.push_back(std::move(address));
    }
  }

  // Folded lines of a 2.1 card keep the white space they were folded at.
  bool KeepsFoldSpace() const { return depth_ == 1 && card_.version_21; }

  std::vector<AddressBookCard> Result() {
    if (depth_ > 0) Finish();  // cut off by the end of the text
    return std::move(cards_);
  }

 private:
  struct Card {
    bool version_21 = false;
    std::string full_name;
    std::string structured_name;
    std::vector<std::string> addresses;
  };

  void Finish() {
    AddressBookCard card;
    card.display_name = card_.full_name.empty() ? card_.structured_name : card_.full_name;
    card.addresses = std::move(card_.addresses);
    cards_.push_back(std::move(card));
    card_ = Card{};
  }

  std::size_t depth_ = 0;
  Card card_;
  std::vector<AddressBookCard> cards_;
};

// Whether a content line's value is quoted-printable, known once its ":" has been read.
std::optional<bool> QuotedPrintableOf(std::string_view logical) {
  if (FindUnquoted(logical, ':') == std::string_view::npos) return std::nullopt;
  const std::optional<ContentLine> line = ParseContentLine(logical);
  return line && IsQuotedPrintable(*line);
}

}  // namespace

std::vector<AddressBookCard> ParseVCards(std::string_view text) {
  CardReader reader;
  std::string logical;
  bool have_logical = false;
  std::optional<bool> quoted_printable;  // of the logical line, once its ":" was seen
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    // A quoted-printable value whose line ends in "=" goes on in the next line, indented
    // or not (the soft line break of the encoding, which 2.1 exports use for long values).
    if (have_logical && logical.ends_with('=') && quoted_printable.value_or(false)) {
      logical.pop_back();
      logical += line;
      continue;
    }
    if (have_logical && !line.empty() && (line.front() == ' ' || line.front() == '\t')) {
      logical += reader.KeepsFoldSpace() ? line : line.substr(1);
      if (!quoted_printable && line.find(':') != std::string_view::npos) {
        quoted_printable = QuotedPrintableOf(logical);
      }
      continue;
    }
    if (have_logical) reader.Take(logical);
    logical.assign(line);
    have_logical = true;
    quoted_printable = QuotedPrintableOf(logical);
  }
  if (have_logical) reader.Take(logical);
  return reader.Result();
}

}  // namespace pelrion::import
