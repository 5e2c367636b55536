#include "core/autostart.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace pelrion::core {
namespace {

constexpr std::string_view kEntryFileName = "pelrion.desktop";

std::optional<std::string> ConfigHome() {
  // The XDG base directory rules ignore a relative XDG_CONFIG_HOME.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config);
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* entry = ::getpwuid(::getuid());
    home = entry != nullptr ? entry->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] != '/') return std::nullopt;
  return std::string(home) + "/.config";
}

// Creates every missing directory of path (absolute), new ones private to the user.
bool CreateDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Replaces path with content so that a reader sees either the old or the new file.
bool WriteFileAtomically(const std::string& folder, const std::string& path,
                         std::string_view content) {
  // A dot name without the ".desktop" ending: the session never takes it for an entry.
  std::string temp_name = folder + "/." + std::string(kEntryFileName) + ".XXXXXX";
  std::vector<char> temp(temp_name.begin(), temp_name.end());
  temp.push_back('\0');
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = ::fchmod(fd, 0644) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temp.data(), path.c_str()) != 0) {
    ::unlink(temp.data());
    return false;
  }
  // Make the rename itself durable; a failure here does not undo the entry.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

std::optional<std::string> AutostartEntryPath() {
  const auto config = ConfigHome();
  if (!config) return std::nullopt;
  return *config + "/autostart/" + std::string(kEntryFileName);
}

std::optional<std::string> QuoteExecArgument(std::string_view path) {
  std::string quoted = "\"";
  for (const char c : path) {
    switch (c) {
      // Inside quotes these four take a backslash; the string-value rule then doubles
      // every backslash, so a literal backslash ends up as four.
      case '"':
      case '`':
      case '$':
        quoted += "\\\\";
        quoted += c;
        break;
      case '\\':
        quoted += "\\\\\\\\";
        break;
      case '%':  // field codes start with '%'
        quoted += "%%";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\t':
        quoted += "\\t";
        break;
      case '\r':
        quoted += "\\r";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
        quoted += c;
    }
  }
  quoted += '"';
  return quoted;
}

std::optional<std::string> AutostartEntryText(std::string_view executable_path) {
  const auto exec = QuoteExecArgument(executable_path);
  if (!exec) return std::nullopt;
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Pelrion\n"
         "Comment=Anti-spam mail proxy\n"
         "Exec=" +
         *exec +
         "\n"
         "Terminal=false\n";
}

bool ApplyAutostart(bool enabled, std::string_view executable_path) {
  if (executable_path.empty() || executable_path.front() != '/') return true;
  const auto config = ConfigHome();
  if (!config) return false;
  const std::string folder = *config + "/autostart";
  const std::string path = folder + "/" + std::string(kEntryFileName);
  if (!enabled) return ::unlink(path.c_str()) == 0 || errno == ENOENT;

  const auto text = AutostartEntryText(executable_path);
  if (!text || !CreateDirectories(folder)) return false;
  return WriteFileAtomically(folder, path, *text);
}

std::optional<std::string> CurrentExecutablePath() {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

}  // namespace pelrion::core
