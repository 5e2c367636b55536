#include "import/registry_profiles.h"

#include <array>
#include <cstring>
#include <string_view>

#include "import/profile_registry.h"

namespace pelrion::import {
namespace {

// The string entry of every subkey of path under root. A profile whose key or entry
// cannot be read is left out; the enumeration ends at its first failure, which covers a
// chain that loops.
std::vector<std::string> SubkeyEntries(const std::string& registry_path, RegistryKey root,
                                       std::string_view path, std::string_view entry) {
  std::vector<std::string> values;
  ProfileRegistry registry;
  if (!registry.Startup(registry_path)) return values;
  RegistryHandle handle = 0;
  if (registry.Open("", &handle) != RegistryCode::kOk) return values;
  RegistryKey parent = 0;
  if (registry.GetKey(handle, root, path, &parent) == RegistryCode::kOk) {
    std::uint32_t state = 0;
    std::array<char, kMaxRegistryNameLength + 1> name{};
    while (registry.EnumSubkeys(handle, parent, &state, name) == RegistryCode::kOk) {
      RegistryKey key = 0;
      if (registry.GetKey(handle, parent, name.data(), &key) != RegistryCode::kOk) continue;
      // The size of a path buffer of the programs that write these files.
      std::array<char, 260> buffer{};
      std::uint32_t size = 0;
      if (registry.GetEntry(handle, key, entry, buffer, &size) != RegistryCode::kOk) continue;
      const std::string value(buffer.data(), strnlen(buffer.data(), buffer.size()));
      if (!value.empty()) values.push_back(value);
    }
  }
  registry.Close(handle);
  registry.Shutdown();
  return values;
}

}  // namespace

std::vector<std::string> RegistryProfileDirectories(const std::string& registry_path) {
  return SubkeyEntries(registry_path, kRootCommon, "Profiles", "directory");
}

std::vector<std::string> NsregProfileLocations(const std::string& registry_path) {
  return SubkeyEntries(registry_path, kRootUsers, "", "ProfileLocation");
}

}  // namespace pelrion::import
