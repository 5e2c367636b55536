// Temporary files in the program's temporary folder, named by a random number 0..32767 as the
// message explorer names them. A name is created exclusively, never reused: another file (or
// a link planted under that name) is left alone and the number drawn again.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelrion::mailformat {

// A file descriptor (close-on-exec) of a new empty file and its path.
struct TempFile {
  int fd = -1;
  std::string path;
};

// Creates "<folder><prefix><n><extension>" (folder ends in '/'; n from platform::Rand()) with
// O_CREAT | O_EXCL | O_CLOEXEC and mode 0600, drawing n again while the name is taken.
// nullopt on any other error, or when every draw of a bounded number of tries was taken.
std::optional<TempFile> CreateTempFile(std::string_view folder, std::string_view prefix,
                                       std::string_view extension);

// The extension, with its dot, under which a part called name is written to a temporary file:
// the name's own extension when it is 1 to 16 characters from [A-Za-z0-9+_-]; nothing when the
// name has none; ".dat" for any other extension, whatever the (sender-chosen) name says.
std::string TempExtensionFor(std::string_view name);

}  // namespace pelrion::mailformat
