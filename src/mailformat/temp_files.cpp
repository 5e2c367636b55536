#include "mailformat/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/random.h"

namespace pelrion::mailformat {
namespace {

// Far more draws than there are names: a folder whose 32768 names are all taken still ends.
constexpr int kMaxDraws = 100'000;
constexpr std::size_t kMaxExtensionLength = 16;

bool IsExtensionCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '_' || c == '-';
}

}  // namespace

std::optional<TempFile> CreateTempFile(std::string_view folder, std::string_view prefix,
                                       std::string_view extension) {
  for (int draw = 0; draw < kMaxDraws; ++draw) {
    TempFile file;
    file.path.append(folder).append(prefix);
    file.path += std::to_string(platform::Rand());
    file.path.append(extension);
    file.fd = ::open(file.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file.fd >= 0) return file;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

std::string TempExtensionFor(std::string_view name) {
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos) return {};
  const std::string_view extension = name.substr(dot + 1);
  bool acceptable = !extension.empty() && extension.size() <= kMaxExtensionLength;
  for (const char c : extension) acceptable = acceptable && IsExtensionCharacter(c);
  if (!acceptable) return ".dat";
  return "." + std::string(extension);
}

}  // namespace pelrion::mailformat
