// An installed application's .desktop entry: the keys the viewer look-up needs, and its Exec
// line turned into the argument vector that opens one file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::platform {

// The [Desktop Entry] keys that decide whether and how an application opens a file. String
// values have their escapes undone.
struct DesktopEntry {
  std::string type;      // "Application" for a program
  std::string name;      // the untranslated Name
  std::string exec;      // command line with field codes, see SplitExecLine
  std::string try_exec;  // program that must exist for the entry to count, or empty
  bool hidden = false;   // Hidden=true: the entry counts as deleted
};

// nullopt when the file cannot be read or has no [Desktop Entry] group.
std::optional<DesktopEntry> ReadDesktopEntry(const std::string& path);

// Undoes the escapes of a string value: \s space, \n newline, \t tab, \r return, \\ backslash.
// Any other backslash is kept as it is.
std::string UnescapeStringValue(std::string_view value);

// The argument vector that opens file_path with an Exec line (its string escapes already
// undone). Arguments are separated by blanks; a double-quoted part may hold blanks and the
// escapes \" \` \$ \\. The field codes %f %F %u %U stand for file_path, which always stays one
// argument whatever it holds (nothing here goes through a shell); %i %c %k and the deprecated
// %d %D %n %N %v %m are removed (an argument made of nothing else disappears); %% is a '%'.
// Without a file field code, file_path becomes the last argument. nullopt for a line that is
// empty, has an unterminated quote or an unknown field code, or whose program is a field code.
std::optional<std::vector<std::string>> SplitExecLine(std::string_view exec,
                                                      const std::string& file_path);

}  // namespace pelrion::platform
