// RFC 822 header blocks: unfolding, splitting into name/value fields, and field look-up.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/header_list.h"

namespace pelrion::mailformat {

// Unfolds text in place (RFC 822 3.1.1): every TAB becomes a space, then every CR LF directly
// followed by a space is deleted (the white space of the continuation line stays). Linear time.
void UnfoldHeaderBlock(std::string& text);

// Splits an unfolded block into fields: each name is the text from the end of the previous
// field's CR LF up to the next colon, the value runs from after that colon to the next CR LF.
// A line without a colon becomes part of the next field's name; a last line without CR LF,
// and any text after the last colon-bearing line, yield nothing.
HeaderList SplitHeaderBlock(std::string_view text);

// The value of the first field whose name equals name ignoring ASCII case, trimmed of leading
// and trailing white space when trim is set; std::nullopt when no field has that name.
std::optional<std::string> FindHeader(const HeaderList& headers, std::string_view name, bool trim);

// Index of the first entry of list equal to text (whole string; ASCII case ignored when
// ignore_case is set), or -1 when there is none.
std::ptrdiff_t FindString(const std::vector<std::string>& list, std::string_view text,
                          bool ignore_case);

}  // namespace pelrion::mailformat
