// A .desktop entry's text through the key-file reader, the string escapes and the Exec split:
// no crash, and a split line always has a program that is not the file, with the file put in.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/desktop_entry.h"
#include "platform/key_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelrion::platform;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const KeyFile file = ParseKeyFile(text);
  const std::string path = "/tmp/a \"b\" $(c) %f;d";
  // Every value is tried as an Exec line, and the whole input as one too.
  std::vector<std::string> lines = {std::string(text)};
  for (const auto& [group, keys] : file) {
    for (const auto& [key, value] : keys) {
      lines.push_back(UnescapeStringValue(value));
      SplitListValue(value);
    }
  }
  for (const std::string& line : lines) {
    const std::optional<std::vector<std::string>> argv = SplitExecLine(line, path);
    if (!argv) continue;
    if (argv->empty() || argv->front().empty()) std::abort();
    if (argv->front().find(path) != std::string::npos && line.find(path) == std::string::npos) {
      std::abort();
    }
    bool has_path = false;
    for (const std::string& argument : *argv) has_path |= argument.find(path) != std::string::npos;
    if (!has_path) std::abort();
  }
  return 0;
}
