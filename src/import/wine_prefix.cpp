#include "import/wine_prefix.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "mailformat/ascii.h"

namespace pelrion::import {
namespace {

namespace ascii = mailformat::ascii;
namespace fs = std::filesystem;

constexpr std::string_view kAppPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr std::string_view kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view kSystemEnvironment =
    "System\\CurrentControlSet\\Control\\Session Manager\\Environment";

bool IsFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

std::string_view Unquoted(std::string_view text) {
  text = ascii::Trim(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

// The last component of a Windows or Unix path.
std::string_view FileNameOf(std::string_view path) {
  const auto slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> TextValue(const RegistryView& view, std::string_view key,
                                     std::string_view name) {
  const auto value = view.Value(key, name);
  if (!value || (value->type != RegistryValueType::kString &&
                 value->type != RegistryValueType::kExpandString)) {
    return std::nullopt;
  }
  return value->text;
}

}  // namespace

std::string WinePrefixFolder(std::string_view home) {
  if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr && prefix[0] != '\0') {
    return prefix;
  }
  return std::string(home == "/" ? "" : home) + "/.wine";
}

std::string ResolveIgnoringCase(const std::string& path) {
  std::error_code error;
  if (fs::exists(path, error)) return path;
  fs::path resolved = path.starts_with('/') ? fs::path("/") : fs::path();
  for (const fs::path& part : fs::path(path).relative_path()) {
    const fs::path exact = resolved / part;
    if (fs::exists(exact, error)) {
      resolved = exact;
      continue;
    }
    bool found = false;
    for (fs::directory_iterator it(resolved.empty() ? "." : resolved, error), end;
         !error && it != end; it.increment(error)) {
      if (ascii::EqualsIgnoreCase(it->path().filename().string(), part.string())) {
        resolved = it->path();
        found = true;
        break;
      }
    }
    if (!found) return path;
  }
  return resolved.string();
}

WinePrefix::WinePrefix(std::string folder) : folder_(std::move(folder)) {
  exists_ = IsFile(folder_ + "/system.reg") || IsFile(folder_ + "/user.reg");
  user_ = ReadWineRegistry(folder_ + "/user.reg");
  machine_ = ReadWineRegistry(folder_ + "/system.reg");
}

std::optional<std::string> WinePrefix::Variable(std::string_view name) const {
  if (auto value = TextValue(user_, "Environment", name)) return value;
  if (auto value = TextValue(machine_, kSystemEnvironment, name)) return value;
  // The folders Wine itself names rather than keeping in the environment keys.
  constexpr std::string_view kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
  if (ascii::EqualsIgnoreCase(name, "ProgramFiles")) {
    return TextValue(machine_, kCurrentVersion, "ProgramFilesDir").value_or("C:\\Program Files");
  }
  if (ascii::EqualsIgnoreCase(name, "ProgramFiles(x86)")) {
    return TextValue(machine_, kCurrentVersion, "ProgramFilesDir (x86)")
        .value_or("C:\\Program Files (x86)");
  }
  if (ascii::EqualsIgnoreCase(name, "SystemRoot") || ascii::EqualsIgnoreCase(name, "windir")) {
    return "C:\\windows";
  }
  if (ascii::EqualsIgnoreCase(name, "APPDATA")) return TextValue(user_, kShellFolders, "AppData");
  return std::nullopt;
}

std::string WinePrefix::Expand(std::string_view text) const {
  std::string out;
  // One pass: a value that names a variable again is left as it is, so a loop cannot form.
  while (!text.empty()) {
    const auto open = text.find('%');
    const auto close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(0, open));
    const std::string_view name = text.substr(open + 1, close - open - 1);
    if (const auto value = Variable(name)) {
      out += *value;
    } else {
      out.append(text.substr(open, close - open + 1));
    }
    text.remove_prefix(close + 1);
  }
  out.append(text);
  return out;
}

std::optional<std::string> WinePrefix::UnixPath(std::string_view windows_path) const {
  const std::string expanded = Expand(Unquoted(windows_path));
  if (expanded.size() < 2 || expanded[1] != ':' ||
      !std::isalpha(static_cast<unsigned char>(expanded[0]))) {
    return std::nullopt;
  }
  const char drive = ascii::ToLower(expanded[0]);
  std::string path =
      drive == 'c' ? folder_ + "/drive_c" : folder_ + "/dosdevices/" + std::string(1, drive) + ":";
  for (char c : std::string_view(expanded).substr(2)) path.push_back(c == '\\' ? '/' : c);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return ResolveIgnoringCase(path);
}

std::optional<std::string> WinePrefix::AppPath(std::string_view program) const {
  const auto value = TextValue(machine_, std::string(kAppPaths) + std::string(program), "");
  if (!value) return std::nullopt;
  return Expand(Unquoted(*value));
}

std::optional<std::string> WinePrefix::ProgramFile(std::string_view program) const {
  if (!exists_) return std::nullopt;
  const auto windows_path = AppPath(program);
  if (!windows_path || !ascii::EqualsIgnoreCase(FileNameOf(*windows_path), program)) {
    return std::nullopt;
  }
  auto path = UnixPath(*windows_path);
  if (!path || !IsFile(*path)) return std::nullopt;
  return path;
}

std::optional<std::string> WinePrefix::AppDataFolder() const {
  if (const auto shell = TextValue(user_, kShellFolders, "AppData")) {
    if (auto path = UnixPath(*shell)) return path;
  }
  const char* user = std::getenv("USER");
  const std::string users = folder_ + "/drive_c/users/" + (user != nullptr ? user : "");
  for (const char* tail : {"/AppData/Roaming", "/Application Data"}) {
    const std::string path = ResolveIgnoringCase(users + tail);
    std::error_code error;
    if (fs::is_directory(path, error)) return path;
  }
  return std::nullopt;
}

std::string WinePrefix::WindowsFolder() const {
  return ResolveIgnoringCase(folder_ + "/drive_c/windows");
}

}  // namespace pelrion::import
