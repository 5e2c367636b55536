// Reading pieces of a stored message through its part table: the text arrival analysis and the
// message view show, and the header block of a forwarded message.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "mailformat/header_list.h"
#include "mailformat/part_table.h"

namespace pelrion::mailformat {

// At most limit decoded bytes of the message's text: for a MIME message the first part of the
// text run whose type is "text", for a plain message segment 0 (lines as stored). Empty when
// there is no such part or decoding fails.
std::string ReadMessageText(const PartTable& table, const std::string& message_path,
                            std::size_t limit);

// The header block of a "message"/"rfc822" part (its empty ending line must be present) or of a
// "text"/"rfc822-headers" part (the end of the part may stand in for the empty line), unfolded
// and split. Decoding stops at the end of the header block, in memory: the body is not read and
// no file is written. nullopt for other types or on any decoding failure before the block ends.
std::optional<HeaderList> ReadInnerHeaders(const PartEntry& part, const std::string& message_path);

}  // namespace pelrion::mailformat
