#include "mailformat/mime_types.h"

#include <mutex>
#include <string>
#include <unordered_map>

#include "mailformat/ascii.h"
#include "platform/mime_types_file.h"

namespace pelrion::mailformat {
namespace {

constexpr const char* kSystemTable = platform::kSystemMimeTypesPath;

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

void Load(Registry& registry) {
  registry.extensions.clear();
  registry.loaded = true;
  for (const platform::MimeTypesLine& line : platform::ReadMimeTypesFile(registry.path)) {
    if (line.extensions.empty()) continue;
    // A type listed twice keeps the extension of its first line.
    registry.extensions.emplace(ascii::ToLowerCopy(line.type), "." + line.extensions.front());
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
