// Any text as a Wine registry hive: no crash, and every key listed as a subkey can be
// looked up again by its path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/wine_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const pelrion::import::WineRegistry hive(text);
  for (const std::string& top : hive.Subkeys("Software")) {
    const std::string path = "Software\\" + top;
    hive.Value(path, "");
    for (const std::string& below : hive.Subkeys(path)) {
      if (below.empty()) std::abort();
    }
  }
  return 0;
}
