#include "platform/mime_types_file.h"

#include <cstdio>
#include <memory>

namespace pelrion::platform {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char ToLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string ToLowerCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToLower(c);
  return out;
}

// The next blank-separated word of line from pos, or empty at the end.
std::string_view NextWord(std::string_view line, std::size_t& pos) {
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  const std::size_t begin = pos;
  while (pos < line.size() && !IsBlank(line[pos])) ++pos;
  return line.substr(begin, pos - begin);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::vector<MimeTypesLine> ReadMimeTypesFile(const std::string& path) {
  std::vector<MimeTypesLine> lines;
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rbe"));
  if (!file) return lines;
  std::string line;
  for (int c = 0; c != EOF;) {
    line.clear();
    while ((c = std::fgetc(file.get())) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    std::string_view text = line;
    text = text.substr(0, text.find('#'));
    std::size_t pos = 0;
    const std::string_view type = NextWord(text, pos);
    if (type.empty()) continue;
    MimeTypesLine entry{std::string(type), {}};
    for (std::string_view word = NextWord(text, pos); !word.empty(); word = NextWord(text, pos)) {
      entry.extensions.emplace_back(word);
    }
    lines.push_back(std::move(entry));
  }
  return lines;
}

std::optional<std::string> MimeTypeForExtension(std::string_view extension,
                                                const std::string& path) {
  if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
  if (extension.empty()) return std::nullopt;
  const std::string wanted = ToLowerCopy(extension);
  for (const MimeTypesLine& line : ReadMimeTypesFile(path)) {
    for (const std::string& listed : line.extensions) {
      if (ToLowerCopy(listed) == wanted) return ToLowerCopy(line.type);
    }
  }
  return std::nullopt;
}

}  // namespace pelrion::platform
