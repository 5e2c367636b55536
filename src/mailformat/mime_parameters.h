// MIME header values: Content-Type and Content-Disposition with their parameters (RFC 2045
// section 5.1, RFC 2183), and the Content-Transfer-Encoding of a part.
// Parsers take any bytes and never fail by more than returning nullopt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/transfer_encoding.h"

namespace pelrion::mailformat {

// Parameters in the order written; names keep their letter case, values are unquoted.
struct MimeParameters {
  std::vector<std::string> names;
  std::vector<std::string> values;

  std::size_t size() const { return names.size(); }
  bool operator==(const MimeParameters&) const = default;
};

struct ContentType {
  std::string type;     // lower case, never empty
  std::string subtype;  // lower case, never empty
  MimeParameters parameters;

  bool operator==(const ContentType&) const = default;
};

struct Disposition {
  std::string type;  // lower case, never empty
  MimeParameters parameters;

  bool operator==(const Disposition&) const = default;
};

// "type/subtype" and, after a ";" that directly follows the subtype, its parameters.
// nullopt when the type is not ended by "/" or the type or subtype is empty.
std::optional<ContentType> ParseContentType(std::string_view value);

// The disposition type and, after a ";" that directly follows it, its parameters. nullopt
// when the type is empty.
std::optional<Disposition> ParseDisposition(std::string_view value);

// "name=value" pairs separated by ";". Parsing stops, keeping what it has, at a name not
// ended by "=", an empty name, an unterminated quoted value, or a value not followed by ";".
MimeParameters ParseParameters(std::string_view text);

// The value of the parameter called name (ignoring ASCII case). An RFC 2231 extended value
// ("name*=", or the sections "name*0", "name*1*", ...) is decoded and preferred; its
// percent-encoded bytes are kept as they are (the charset is not converted) and the language
// is dropped. Otherwise the value of the first plain "name" parameter.
std::optional<std::string> FindParameter(const MimeParameters& parameters, std::string_view name);

// 0 "7BIT", 1 "8BIT", 2 "base64", 3 "quoted-printable", 4 anything else. A value matches a
// name when, after leading spaces and tabs, it starts with the name in any letter case and the
// name is followed by the end, a space or a tab.
TransferEncoding TransferEncodingCode(std::string_view value);

}  // namespace pelrion::mailformat
