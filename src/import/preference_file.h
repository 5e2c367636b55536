// The preference files of the Mozilla family (prefs.js, and the older preferences.js): one
// user_pref("name", value); per line, read into names and values in file order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::import {

struct PreferenceLine {
  std::string name;
  std::string value;
};

// One line: white space, "user_pref" in any letter case, up to the first "(", the name (a
// quoted string, or the text up to "," trimmed at the right), ",", the value (a quoted
// string, or the text up to ")" trimmed at the right). In a quoted string a backslash makes
// the next character literal. Nothing when the line ends before a delimiter it needs.
std::optional<PreferenceLine> ParsePreferenceLine(std::string_view line);

enum class NameCase { kIgnore, kExact };

class PreferenceFile {
 public:
  PreferenceFile() = default;
  // Every line of text that parses, in order.
  explicit PreferenceFile(std::string_view text);

  // The value of the first preference called name, or nothing.
  std::optional<std::string_view> Find(std::string_view name,
                                       NameCase name_case = NameCase::kIgnore) const;
  std::size_t size() const { return names_.size(); }

 private:
  std::vector<std::string> names_;
  std::vector<std::string> values_;
};

// The file's preferences; an empty set when it cannot be read.
PreferenceFile ReadPreferenceFile(const std::string& path);

}  // namespace pelrion::import
