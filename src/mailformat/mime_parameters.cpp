#include "mailformat/mime_parameters.h"

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
  for (std::size_t i = 0; i < parameters.names.size(); ++i) {
    if (ascii::EqualsIgnoreCase(parameters.names[i], name)) return parameters.values[i];
  }
  return std::nullopt;
}

std::uint32_t TransferEncodingCode(std::string_view value) {
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
    if (rest.size() == name.size() || IsBlank(rest[name.size()])) return code;
  }
  return kEncodingUndecodable;
}

}  // namespace pelrion::mailformat
