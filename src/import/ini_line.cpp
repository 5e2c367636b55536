#include "import/ini_line.h"

#include "mailformat/ascii.h"

namespace pelrion::import {

namespace ascii = mailformat::ascii;

IniLine ClassifyIniLine(std::string_view line) {
  IniLine result;
  const std::string_view trimmed = ascii::Trim(line);
  if (trimmed.empty() || trimmed.front() == ';') return result;
  if (trimmed.front() == '[') {
    const auto close = trimmed.find(']');
    if (close == std::string_view::npos) {
      result.kind = IniLineKind::kMalformed;
      return result;
    }
    result.kind = IniLineKind::kSection;
    result.name = std::string(trimmed.substr(1, close - 1));
    return result;
  }
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) {
    result.kind = IniLineKind::kMalformed;
    return result;
  }
  result.kind = IniLineKind::kKeyValue;
  // The key keeps its leading white space trimmed too: the line's own indentation is not
  // part of any name a reader looks for.
  result.name = std::string(ascii::Trim(line.substr(0, equals)));
  std::string_view value = ascii::Trim(line.substr(equals + 1));
  // A value of one double quote alone is a value, not an empty quoted string.
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
    value = ascii::Trim(value.substr(1, value.size() - 2));
  }
  result.value = std::string(value);
  return result;
}

std::vector<IniLine> ClassifyIniLines(std::string_view text) {
  std::vector<IniLine> lines;
  while (!text.empty()) {
    const auto end = text.find('\n');
    lines.push_back(ClassifyIniLine(text.substr(0, end)));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

}  // namespace pelrion::import
