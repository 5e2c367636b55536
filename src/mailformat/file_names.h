// File-name helpers for saving message parts. Paths use "/" as the separator.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::mailformat {

// Replaces, in place, every character not allowed in file names (\ / : * ? < > | and the
// double quote) by replacement. Other bytes, 8-bit ones included, are kept.
void SanitizeFileName(std::string& name, char replacement);

// The text after the last "." of the path's final component, or empty when that component has
// none ("/a.b/c" gives "", "x.tar.gz" gives "gz").
std::string FileExtensionOf(std::string_view path);

// The text after the last "/" of the path, or the whole path when there is none.
std::string FileNameOf(std::string_view path);

}  // namespace pelrion::mailformat
