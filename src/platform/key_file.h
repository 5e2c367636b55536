// Reading the desktop's "key file" format shared by .desktop entries, mimeapps.list and
// mimeinfo.cache: "[Group]" headers, "Key=Value" lines, "#" comment lines.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::platform {

// group -> key -> raw value (no escapes undone). Blanks around the '=' are ignored; a key or
// group given twice keeps its first value; lines before the first group are ignored.
using KeyFile = std::map<std::string, std::map<std::string, std::string>>;

// nullopt when the file cannot be read.
std::optional<KeyFile> ReadKeyFile(const std::string& path);
KeyFile ParseKeyFile(std::string_view text);

// The value of key in group, or nullopt.
std::optional<std::string> KeyFileValue(const KeyFile& file, const std::string& group,
                                        const std::string& key);

// A ';'-separated list value ("a.desktop;b.desktop;"), without empty items.
std::vector<std::string> SplitListValue(std::string_view value);

}  // namespace pelrion::platform
