// Exporting one entry of a stored message's part table to a temporary file, for the message
// explorer's Save, View and Open actions.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "mailformat/part_table.h"

namespace pelrion::mailformat {

// Decodes entry index (a PartEntry of a MIME message, a SegmentEntry of a plain message: text
// segments as stored, uuencoded ones uudecoded) from message_path into a new file
// "<temp_folder>T<n><ext>", created exclusively (see CreateTempFile), where ext is
// TempExtensionFor(name): the extension of name, the part's display name ("x.txt" for viewing as
// text), only when it is a plain short one. Returns the file's path; nullopt when the index is
// out of range or decoding fails, in which case no file is left.
std::optional<std::string> ExportPart(const PartTable& table, std::size_t index,
                                      const std::string& message_path,
                                      const std::string& temp_folder, std::string_view name);

}  // namespace pelrion::mailformat
