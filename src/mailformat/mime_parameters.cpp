#include "mailformat/mime_parameters.h"

#include <algorithm>
#include <array>

#include "mailformat/addresses.h"
#include "mailformat/ascii.h"

namespace pelrion::mailformat {
namespace {

// The tspecials of RFC 2045 section 5.1 (space is deliberately not among them, so a type
// such as "text/plain charset" keeps the space inside its subtype).
constexpr std::string_view kTSpecials = "()<>[]:;@\\,\"/?=";

bool IsTSpecial(char c) {
  return kTSpecials.find(c) != std::string_view::npos;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Reads text from `pos`: optional blanks, then a token running to the first tspecial or the
// end. The token comes back with trailing white space trimmed; `pos` ends on the tspecial
// (or at the end).
std::string_view ReadToken(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  const std::size_t begin = pos;
  while (pos < text.size() && !IsTSpecial(text[pos])) ++pos;
  std::size_t end = pos;
  while (end > begin && ascii::IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The parameters that follow a ";" at `pos`, or none.
MimeParameters ParametersAfter(std::string_view text, std::size_t pos) {
  if (pos < text.size() && text[pos] == ';') return ParseParameters(text.substr(pos + 1));
  return {};
}

// Reads a quoted value starting at the opening quote `pos`: it ends at the next quote whose
// preceding byte is not a backslash. nullopt when there is none.
std::optional<std::string> ReadQuotedValue(std::string_view text, std::size_t& pos) {
  std::size_t close = pos + 1;
  while (close < text.size() && !(text[close] == '"' && text[close - 1] != '\\')) ++close;
  if (close >= text.size()) return std::nullopt;
  std::string value = UnquoteString(text.substr(pos, close + 1 - pos));
  // Whatever stands between the closing quote and the next tspecial is ignored.
  pos = close + 1;
  while (pos < text.size() && !IsTSpecial(text[pos])) ++pos;
  return value;
}

// RFC 2231 percent-encoding: "%XX" stands for the byte XX; any other "%" stays as written.
// The bytes are kept as they are: no character set conversion.
void AppendPercentDecoded(std::string_view text, std::string& out) {
  const auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
}

// The value of an encoded first (or only) section without its "charset'language'" prefix.
std::string_view WithoutCharsetAndLanguage(std::string_view value) {
  const std::size_t first = value.find('\'');
  if (first == std::string_view::npos) return value;
  const std::size_t second = value.find('\'', first + 1);
  if (second == std::string_view::npos) return value;
  return value.substr(second + 1);
}

// One "name*<n>" or "name*<n>*" section of a parameter continued over several parameters.
struct Section {
  std::uint32_t number = 0;
  bool encoded = false;   // written "name*<n>*": percent-encoded
  std::size_t index = 0;  // in the parameter lists
};

// Reads "<n>" or "<n>*" (n decimal, no leading zero) after "name*"; nullopt for anything else.
std::optional<Section> SectionOf(std::string_view suffix, std::size_t index) {
  Section section;
  section.index = index;
  if (suffix.ends_with('*')) {
    section.encoded = true;
    suffix.remove_suffix(1);
  }
  if (suffix.empty() || suffix.size() > 5 || (suffix.size() > 1 && suffix.front() == '0')) {
    return std::nullopt;
  }
  for (const char c : suffix) {
    if (c < '0' || c > '9') return std::nullopt;
    section.number = section.number * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return section;
}

// RFC 2231: "name*=charset'language'value" or the sections "name*0", "name*1", ... (each
// "*<n>*" one percent-encoded, the first of those with the charset and language), in any order
// and joined from 0 up to the first missing number. nullopt when neither form is present.
std::optional<std::string> FindExtendedParameter(const MimeParameters& parameters,
                                                 std::string_view name) {
  std::vector<Section> sections;
  for (std::size_t i = 0; i < parameters.names.size(); ++i) {
    const std::string_view candidate = parameters.names[i];
    if (candidate.size() <= name.size() || candidate[name.size()] != '*' ||
        !ascii::EqualsIgnoreCase(candidate.substr(0, name.size()), name)) {
      continue;
    }
    const std::string_view suffix = candidate.substr(name.size() + 1);
    if (suffix.empty()) {
      std::string value;
      AppendPercentDecoded(WithoutCharsetAndLanguage(parameters.values[i]), value);
      return value;
    }
    if (const std::optional<Section> section = SectionOf(suffix, i)) sections.push_back(*section);
  }
  // Sorted by number, the first written of a repeated number first.
  std::stable_sort(sections.begin(), sections.end(),
                   [](const Section& a, const Section& b) { return a.number < b.number; });
  std::string value;
  std::uint32_t next = 0;
  for (const Section& section : sections) {
    if (section.number < next) continue;  // a repeated number: the first one counts
    if (section.number > next) break;     // a gap ends the value
    std::string_view text = parameters.values[section.index];
    if (section.encoded) {
      AppendPercentDecoded(next == 0 ? WithoutCharsetAndLanguage(text) : text, value);
    } else {
      value.append(text);
    }
    ++next;
  }
  if (next == 0) return std::nullopt;
  return value;
}

}  // namespace

std::optional<ContentType> ParseContentType(std::string_view value) {
  std::size_t pos = 0;
  const std::string_view type = ReadToken(value, pos);
  if (pos >= value.size() || value[pos] != '/' || type.empty()) return std::nullopt;
  ++pos;
  const std::string_view subtype = ReadToken(value, pos);
  if (subtype.empty()) return std::nullopt;
  ContentType result;
  result.type = ascii::ToLowerCopy(type);
  result.subtype = ascii::ToLowerCopy(subtype);
  result.parameters = ParametersAfter(value, pos);
  return result;
}

std::optional<Disposition> ParseDisposition(std::string_view value) {
  std::size_t pos = 0;
  const std::string_view type = ReadToken(value, pos);
  if (type.empty()) return std::nullopt;
  Disposition result;
  result.type = ascii::ToLowerCopy(type);
  result.parameters = ParametersAfter(value, pos);
  return result;
}

MimeParameters ParseParameters(std::string_view text) {
  MimeParameters result;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::string_view name = ReadToken(text, pos);
    if (pos >= text.size() || text[pos] != '=' || name.empty()) break;
    ++pos;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    std::string value;
    if (pos < text.size() && text[pos] == '"') {
      std::optional<std::string> quoted = ReadQuotedValue(text, pos);
      if (!quoted) break;
      value = std::move(*quoted);
    } else {
      value = std::string(ReadToken(text, pos));
    }
    result.names.emplace_back(name);
    result.values.push_back(std::move(value));
    if (pos >= text.size() || text[pos] != ';') break;
    ++pos;
  }
  return result;
}

std::optional<std::string> FindParameter(const MimeParameters& parameters, std::string_view name) {
  // Mail programs send non-ASCII names in the extended form beside a plain stand-in; the
  // extended one is the name the sender meant.
  if (std::optional<std::string> extended = FindExtendedParameter(parameters, name)) {
    return extended;
  }
  for (std::size_t i = 0; i < parameters.names.size(); ++i) {
    if (ascii::EqualsIgnoreCase(parameters.names[i], name)) return parameters.values[i];
  }
  return std::nullopt;
}

TransferEncoding TransferEncodingCode(std::string_view value) {
  static constexpr std::array<std::string_view, 4> kNames = {"7BIT", "8BIT", "base64",
                                                             "quoted-printable"};
  std::size_t pos = 0;
  while (pos < value.size() && IsBlank(value[pos])) ++pos;
  const std::string_view rest = value.substr(pos);
  for (std::uint32_t code = 0; code < kNames.size(); ++code) {
    const std::string_view name = kNames[code];
    if (rest.size() < name.size() || !ascii::EqualsIgnoreCase(rest.substr(0, name.size()), name)) {
      continue;
    }
    if (rest.size() == name.size() || IsBlank(rest[name.size()])) {
      return TransferEncodingFromWord(code);
    }
  }
  return TransferEncoding::kUndecodable;
}

}  // namespace pelrion::mailformat
