// Addresses and display names in RFC 822 address fields (From, To, Cc, Sender, Reply-To).
// Addresses come out lower-cased (ASCII only); display names keep their bytes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::mailformat {

// One entry per address group found in a field value: names[i] is the display name (possibly
// empty) of addresses[i]. Both lists always have the same length.
struct ParsedAddressList {
  std::vector<std::string> names;
  std::vector<std::string> addresses;

  std::size_t size() const { return addresses.size(); }
};

// Parses an address field value. Groups end at a comma or the end of the value; quoted strings,
// comments and angle addresses are honoured; "name:" group labels and ";" are dropped. With
// decode_names, quoted name tokens are unquoted and other name tokens RFC 2047 decoded. An
// unterminated quote, comment or angle address ends parsing; the groups closed before it stay.
ParsedAddressList ParseAddressList(std::string_view value, bool decode_names);

// The lower-cased, trimmed address inside a value of the form "<address>" (surrounding white
// space allowed; "<>" gives an empty address); std::nullopt for any other form.
std::optional<std::string> ExtractAngleAddress(std::string_view value);

// True for an empty address or one beginning "mailer-daemon@" or "postmaster@" (case-sensitive:
// callers pass lower-cased addresses).
bool IsSystemSender(std::string_view address);

// True when the first "@" stands neither at the start nor at the end of address.
bool IsValidAddress(std::string_view address);

// The text after the first "@" of address; empty when there is no "@".
std::string DomainOf(std::string_view address);

// quoted without its first and last byte, each backslash inside removed and the byte after it
// taken literally. Fewer than two bytes give an empty text.
std::string UnquoteString(std::string_view quoted);

// phrase with a backslash before each double quote and backslash, wrapped in double quotes when
// it holds white space, a backslash or one of the RFC 822 specials (RFC 822 3.3). Empty stays
// empty.
std::string QuotePhraseIfNeeded(std::string_view phrase);

// Entries separated by "; ": each the display name, or the address when the name is empty.
// Entries run over addresses; a missing name counts as empty.
std::string JoinDisplayNames(const std::vector<std::string>& names,
                             const std::vector<std::string>& addresses);
inline std::string JoinDisplayNames(const ParsedAddressList& list) {
  return JoinDisplayNames(list.names, list.addresses);
}

// Entries separated by "; ": each "name <address>", or the bare address when the name is empty.
// Entries run over addresses; a missing name counts as empty.
std::string JoinNameAddressList(const std::vector<std::string>& names,
                                const std::vector<std::string>& addresses);
inline std::string JoinNameAddressList(const ParsedAddressList& list) {
  return JoinNameAddressList(list.names, list.addresses);
}

}  // namespace pelrion::mailformat
