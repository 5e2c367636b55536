// Any bytes as a profile registry file, walked as the mail-client import walks one (every
// subkey of every standard key, a few levels down, and their entries): no crash, every walk
// ends (a looping chain must end with a code, or the run times out), and the file is left
// exactly as it was.
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "import/profile_registry.h"

namespace {

using namespace pelrion::import;

void Walk(ProfileRegistry& registry, RegistryHandle handle, RegistryKey key, int depth) {
  std::array<char, 260> buffer{};
  std::uint32_t size = 0;
  for (const char* entry : {"directory", "ProfileLocation", "ProfileName"}) {
    registry.GetEntry(handle, key, entry, buffer, &size);
  }
  if (depth == 0) return;
  std::uint32_t state = 0;
  std::array<char, 512> name{};
  // A few subkeys per level: chains shared between keys would otherwise make the walk
  // grow with the power of the depth, which says nothing about the reader.
  for (int count = 0;
       count < 16 && registry.EnumSubkeys(handle, key, &state, name) == RegistryCode::kOk;
       ++count) {
    RegistryKey subkey = 0;
    if (registry.GetKey(handle, state, "", &subkey) == RegistryCode::kOk) {
      Walk(registry, handle, subkey, depth - 1);
    }
    registry.GetKey(handle, key, name.data(), &subkey);
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* base = std::getenv("TMPDIR");
  std::string path = std::string(base != nullptr ? base : "/tmp") + "/registry-XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(size);
  ::close(fd);
  if (written) {
    ProfileRegistry registry;
    RegistryHandle handle = 0;
    if (registry.Startup(path) && registry.Open("", &handle) == RegistryCode::kOk) {
      for (const RegistryKey root : {kRootKey, kRootUsers, kRootCommon, kRootVersions}) {
        Walk(registry, handle, root, 2);
        RegistryKey key = 0;
        registry.GetKey(handle, root, "/Profiles/default", &key);
      }
      registry.Close(handle);
    }
    registry.Shutdown();
    if (ReadAll(path) != bytes) std::abort();
  }
  ::unlink(path.c_str());
  return 0;
}
