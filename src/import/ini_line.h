// One line of a settings file in the INI form other mail programs write (profiles.ini,
// accounts.ini, ...), classified the way every reader of those files needs it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelrion::import {

enum class IniLineKind {
  kSection,    // "[name]" after leading white space
  kKeyValue,   // key=value
  kBlank,      // empty, white space only, or a ";" comment
  kMalformed,  // "[" without "]", or a non-blank line without "="
};

struct IniLine {
  IniLineKind kind = IniLineKind::kBlank;
  std::string name;   // the section name, or the key (trailing white space removed)
  std::string value;  // the value: trimmed, and one pair of surrounding double quotes removed
};

// line without its line end (a trailing CR is white space and goes with the trimming).
IniLine ClassifyIniLine(std::string_view line);

// Every line of text (split at "\n") classified, in order.
std::vector<IniLine> ClassifyIniLines(std::string_view text);

}  // namespace pelrion::import
