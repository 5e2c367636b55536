#include "mailformat/file_names.h"

namespace pelrion::mailformat {
namespace {

constexpr std::string_view kNotInFileNames = "\\/:*?<>|\"";

}  // namespace

void SanitizeFileName(std::string& name, char replacement) {
  for (char& c : name) {
    if (kNotInFileNames.find(c) != std::string_view::npos) c = replacement;
  }
}

std::string FileExtensionOf(std::string_view path) {
  // Only the final component is looked at: a dot in a folder name (such as "~/.local") is no
  // extension of the file.
  const std::string_view name = path.substr(path.find_last_of('/') + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  return std::string(name.substr(dot + 1));
}

std::string FileNameOf(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return std::string(path);
  return std::string(path.substr(slash + 1));
}

}  // namespace pelrion::mailformat
