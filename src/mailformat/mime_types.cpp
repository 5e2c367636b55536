#include "mailformat/mime_types.h"

#include <fstream>
#include <mutex>
#include <string>
#include <unordered_map>

#include "mailformat/ascii.h"

namespace pelrion::mailformat {
namespace {

constexpr const char* kSystemTable = "/etc/mime.types";

struct Registry {
  std::mutex mutex;
  std::string path = kSystemTable;
  bool loaded = false;
  std::unordered_map<std::string, std::string> extensions;  // lower-case type -> ".ext"
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

// The next blank-separated word of line from pos, or empty at the end.
std::string_view NextWord(std::string_view line, std::size_t& pos) {
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  const std::size_t begin = pos;
  while (pos < line.size() && !IsBlank(line[pos])) ++pos;
  return line.substr(begin, pos - begin);
}

void Load(Registry& registry) {
  registry.extensions.clear();
  registry.loaded = true;
  std::ifstream in(registry.path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::string_view text = line;
    text = text.substr(0, text.find('#'));
    std::size_t pos = 0;
    const std::string_view type = NextWord(text, pos);
    const std::string_view extension = NextWord(text, pos);
    if (type.empty() || extension.empty()) continue;
    // A type listed twice keeps the extension of its first line.
    registry.extensions.emplace(ascii::ToLowerCopy(type), "." + std::string(extension));
  }
}

}  // namespace

std::optional<std::string> ExtensionForMimeType(std::string_view type_slash_subtype) {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> lock(registry.mutex);
  if (!registry.loaded) Load(registry);
  const auto found = registry.extensions.find(ascii::ToLowerCopy(type_slash_subtype));
  if (found == registry.extensions.end()) return std::nullopt;
  return found->second;
}

void SetMimeTypesPathForTesting(const std::string& path) {
  Registry& registry = TheRegistry();
  const std::lock_guard<std::mutex> lock(registry.mutex);
  registry.path = path.empty() ? kSystemTable : path;
  registry.loaded = false;
  registry.extensions.clear();
}

}  // namespace pelrion::mailformat
