// Saving a message part into a folder the user chose, under the name the mail gave it. That
// name is the sender's text: it is never used as a path, and a save never replaces a file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelrion::mailformat {

// The longest file name most Linux file systems take, in bytes.
inline constexpr std::size_t kMaxSaveNameBytes = 255;

// The name used in place of one that cannot be used at all.
inline constexpr std::string_view kMadeUpSaveName = "attachment";

// A file name (no folder) for a part the mail calls name: only the text after its last '/'
// or '\'; "attachment" (with the name's extension when it is a plain one) instead of an empty
// name, "." or "..", or one holding a control byte (below 0x20, or 0x7F); cut to
// kMaxSaveNameBytes at a UTF-8 character boundary, keeping the extension when it is short.
std::string SafeSaveName(std::string_view name);

// The name with " (n)" before its extension ("a.txt" gives "a (2).txt"), shortened at a
// character boundary before the suffix so the result stays within kMaxSaveNameBytes.
std::string NumberedSaveName(std::string_view safe_name, unsigned number);

// A new file created for a save: its descriptor (close-on-exec) and path.
struct SaveFile {
  int fd = -1;
  std::string path;
};

// Creates SafeSaveName(name) in folder (with or without its trailing '/') with
// O_CREAT | O_EXCL | O_NOFOLLOW, mode 0644 less the umask; while that name is taken (by a
// file, a folder or a link), the next " (n)" name from 2 on. nullopt on any other error or
// when a bounded number of names were all taken.
std::optional<SaveFile> CreateSaveFile(std::string_view folder, std::string_view name);

// Copies the file at source into a new file of folder named after name (CreateSaveFile).
// Returns the new file's path; nullopt when it cannot be read, created or written, in which
// case no partial copy is left.
std::optional<std::string> SaveCopyInto(const std::string& source, std::string_view folder,
                                        std::string_view name);

// Copies source onto destination, a path the user chose (and agreed to replace when it
// existed). A link at destination is replaced, not followed. False on any error.
bool CopyFileTo(const std::string& source, const std::string& destination);

}  // namespace pelrion::mailformat
