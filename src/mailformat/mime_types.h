// File extensions registered for MIME types, read from the system's mime.types table
// ("type/subtype ext1 ext2 ..." lines, "#" comments), as the desktop's own programs do.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelrion::mailformat {

// The first extension listed for the type, with a leading dot (".png"), the type matched
// ignoring ASCII case; nullopt when the table lists none or cannot be read (callers then use
// ".dat"). The table is read on first use and kept; safe to call from any thread.
std::optional<std::string> ExtensionForMimeType(std::string_view type_slash_subtype);

// Points the look-up at another table (read again on next use); an empty path restores
// /etc/mime.types. For tests.
void SetMimeTypesPathForTesting(const std::string& path);

}  // namespace pelrion::mailformat
