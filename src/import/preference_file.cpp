#include "import/preference_file.h"

#include <fstream>
#include <sstream>

#include "mailformat/ascii.h"

namespace pelrion::import {
namespace {

namespace ascii = mailformat::ascii;

void SkipSpace(std::string_view& text) {
  while (!text.empty() && ascii::IsSpace(text.front())) text.remove_prefix(1);
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && ascii::IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// A double-quoted string at the start of text (after its opening quote was seen); text
// moves past the closing quote. Nothing when no closing quote follows.
std::optional<std::string> QuotedString(std::string_view& text) {
  std::string out;
  std::size_t i = 1;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"') {
      text.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\') {
      if (i + 1 >= text.size()) return std::nullopt;
      out.push_back(text[i + 1]);
      i += 2;
      continue;
    }
    out.push_back(c);
    ++i;
  }
  return std::nullopt;
}

// A quoted string, or the text up to delimiter trimmed at the right; text moves past the
// string or to the delimiter. Nothing when neither ends on this line.
std::optional<std::string> Item(std::string_view& text, char delimiter) {
  if (!text.empty() && text.front() == '"') return QuotedString(text);
  const auto end = text.find(delimiter);
  if (end == std::string_view::npos) return std::nullopt;
  std::string item(TrimRight(text.substr(0, end)));
  text.remove_prefix(end);
  return item;
}

}  // namespace

std::optional<PreferenceLine> ParsePreferenceLine(std::string_view line) {
  SkipSpace(line);
  constexpr std::string_view kStart = "user_pref";
  if (line.size() < kStart.size() ||
      !ascii::EqualsIgnoreCase(line.substr(0, kStart.size()), kStart)) {
    return std::nullopt;
  }
  const auto open = line.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  line.remove_prefix(open + 1);
  SkipSpace(line);
  PreferenceLine result;
  auto name = Item(line, ',');
  if (!name) return std::nullopt;
  const auto comma = line.find(',');
  if (comma == std::string_view::npos) return std::nullopt;
  line.remove_prefix(comma + 1);
  SkipSpace(line);
  auto value = Item(line, ')');
  if (!value) return std::nullopt;
  result.name = std::move(*name);
  result.value = std::move(*value);
  return result;
}

PreferenceFile::PreferenceFile(std::string_view text) {
  while (!text.empty()) {
    const auto end = text.find('\n');
    if (auto line = ParsePreferenceLine(text.substr(0, end))) {
      names_.push_back(std::move(line->name));
      values_.push_back(std::move(line->value));
    }
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
}

std::optional<std::string_view> PreferenceFile::Find(std::string_view name,
                                                     NameCase name_case) const {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const bool match = name_case == NameCase::kExact ? names_[i] == name
                                                     : ascii::EqualsIgnoreCase(names_[i], name);
    if (match) return values_[i];
  }
  return std::nullopt;
}

PreferenceFile ReadPreferenceFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return PreferenceFile(text.str());
}

}  // namespace pelrion::import
