// Small text operations shared by the POP3 and SMTP code: command-line splitting, strict number
// parsing and reply classification. Pure functions of their inputs; no locale is consulted.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::mailformat {

// The failure value of ParseStrictInt and ReplyCodeOf: the smallest 32-bit signed value.
inline constexpr std::int32_t NotAnInteger = std::numeric_limits<std::int32_t>::min();

// Splits line at every single space (two spaces in a row give an empty word) and trims trailing
// white space from the last word only. Always at least one word; the count is the vector's size.
std::vector<std::string> SplitBySpace(std::string_view line);

// The whole text read as a signed integer in radix (0 or 2..36, as strtol: leading white space, a
// sign and, for 16 or 0, a "0x" prefix allowed). Empty text reads as 0. NotAnInteger when
// characters remain after the number, when the radix is invalid, or when the value is the
// smallest or largest 32-bit value (either is taken as an overflow).
std::int32_t ParseStrictInt(std::string_view text, int radix);

// The whole text read as an unsigned decimal number (leading white space and '+' allowed);
// 0 when characters remain, when a '-' sign is given, when the value is 0 or when it is (or
// overflows to) the largest 32-bit unsigned value.
std::uint32_t ParseStrictUnsigned(std::string_view text);

// ParseStrictInt(text, 10) when it lies in 1..limit, else 0.
std::int32_t ParseIndex(std::string_view text, std::int32_t limit);

// ParseStrictInt(first three characters of line, 10): the reply code of an SMTP reply line, or
// NotAnInteger.
std::int32_t ReplyCodeOf(std::string_view line);

// True when line begins with "+OK" (case-sensitive), the POP3 positive status indicator.
bool IsPositiveReply(std::string_view line);

}  // namespace pelrion::mailformat
