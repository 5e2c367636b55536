// The system's table of MIME types and their file extensions ("type/subtype ext1 ext2 ..."
// lines, "#" comments), read in both directions: the mail format layer names a part's file by
// its type, the viewer look-up finds the type of a file's extension.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::platform {

inline constexpr const char* kSystemMimeTypesPath = "/etc/mime.types";

// One line of the table: the type as written and its extensions without dots (maybe none).
struct MimeTypesLine {
  std::string type;
  std::vector<std::string> extensions;
};

// Every line that names a type, in file order; empty when the file cannot be read.
std::vector<MimeTypesLine> ReadMimeTypesFile(const std::string& path);

// The type (lower-cased) of the first line listing the extension, given with or without its
// leading dot and matched ignoring ASCII case; nullopt when no line lists it.
std::optional<std::string> MimeTypeForExtension(std::string_view extension,
                                                const std::string& path = kSystemMimeTypesPath);

}  // namespace pelrion::platform
