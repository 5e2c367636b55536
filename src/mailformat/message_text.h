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
// and split. The part is first decoded into temp_folder (which ends in '/') as "E<n>" with n a
// random number 0..32767; that file is left for the temporary folder's clean-up. nullopt for
// other types or on any decoding failure.
std::optional<HeaderList> ReadInnerHeaders(const PartEntry& part, const std::string& message_path,
                                           const std::string& temp_folder);

}  // namespace pelrion::mailformat
