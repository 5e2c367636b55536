#include "platform/folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace pelrion::platform {
namespace {

constexpr std::string_view kCaption = "Pelrion";

std::string WithSlash(std::string_view path) {
  std::string out(path);
  if (out.empty() || out.back() != '/') out.push_back('/');
  return out;
}

std::string WithoutSlash(std::string_view path) {
  std::string out(path);
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

// A set, non-empty environment variable holding an absolute path (the XDG base directory
// rules ignore relative values).
std::optional<std::string> AbsoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  return std::string(value);
}

std::string HomeFolder() {
  if (auto home = AbsoluteEnv("HOME")) return WithoutSlash(*home);
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return WithoutSlash(pw->pw_dir);
  }
  return "/";
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Reads XDG_DOCUMENTS_DIR="..." from a user-dirs.dirs file: the value is "$HOME/..." or
// an absolute path, in double quotes.
std::optional<std::string> DocumentsFromUserDirs(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
  while (std::getline(in, line)) {
    std::string_view rest(line);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (!rest.starts_with(kKey)) continue;
    rest.remove_prefix(kKey.size());
    if (rest.size() < 2 || rest.front() != '"') continue;
    const std::size_t close = rest.find('"', 1);
    if (close == std::string_view::npos) continue;
    std::string_view value = rest.substr(1, close - 1);
    if (value.starts_with("$HOME")) {
      std::string tail(value.substr(5));
      if (!tail.empty() && tail.front() != '/') continue;
      return HomeFolder() + tail;
    }
    if (value.starts_with('/')) return std::string(value);
  }
  return std::nullopt;
}

void ShowSystemFolderError(Dialogs& dialogs, std::string_view which) {
  std::string text = "System folder '";
  text.append(which);
  text.append("' could not be found or written to.");
  dialogs.MessageBox(text, kCaption, DialogIcon::kNone, DialogButtons::kOk);
}

std::optional<std::string> ProgramFolder() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return std::nullopt;
  std::string path(buffer, static_cast<std::size_t>(n));
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  return path.substr(0, slash + 1);
}

}  // namespace

bool IsWritableFolder(std::string_view path) {
  const std::string file = WithSlash(path) + "test1324.fil";
  const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  close(fd);
  unlink(file.c_str());
  return true;
}

bool CreateFolderPath(std::string_view path) {
  const std::string full = WithSlash(path);
  for (std::size_t slash = full.find('/', 1); slash != std::string::npos;
       slash = full.find('/', slash + 1)) {
    const std::string prefix = full.substr(0, slash);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return IsDirectory(full);
}

bool EmptyFolder(std::string_view path) {
  const std::string folder = WithSlash(path);
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  bool ok = true;
  const int dir_fd = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    struct stat st {};
    if (fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) continue;  // "." and ".." and subfolders stay
    if (unlinkat(dir_fd, entry->d_name, 0) != 0 && errno != ENOENT) ok = false;
  }
  closedir(dir);
  return ok;
}

namespace {

// Accepts the directory at path only when it belongs to the user (not a symlink in its
// place), leaving it with mode 0700. False when it is someone else's, not a directory, or its
// mode cannot be made private.
bool IsOwnPrivateDirectory(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  // Checked through the descriptor, so the directory cannot be swapped between the check
  // and the mode change.
  const bool own = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
                   ((st.st_mode & 07777) == 0700 || fchmod(fd, 0700) == 0);
  close(fd);
  return own;
}

// The private folder at path when it is, or can be made, ours and usable.
bool UsablePrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsOwnPrivateDirectory(path) && IsWritableFolder(path);
}

}  // namespace

namespace {

// base + "/Pelrion-<uid>", the name the user's temporary folder has unless it was taken.
std::string TempFolderName(const std::string& base) {
  return (base == "/" ? "" : base) + "/Pelrion-" + std::to_string(geteuid());
}

}  // namespace

std::optional<std::string> PrivateTempFolder(std::string_view base_folder) {
  const std::string base = WithoutSlash(base_folder);
  if (!IsDirectory(base)) return std::nullopt;
  const std::string prefix = TempFolderName(base);
  if (UsablePrivateFolder(prefix)) return prefix + "/";
  // The name is taken (another user's folder or file, a symlink, a folder we cannot make
  // private): a fresh folder of our own instead, which nobody else can have made in advance.
  std::string fresh = prefix + "-XXXXXX";
  if (mkdtemp(fresh.data()) == nullptr || !UsablePrivateFolder(fresh)) return std::nullopt;
  return fresh + "/";
}

std::string UsualTempFolderPath() {
  return TempFolderName(WithoutSlash(AbsoluteEnv("TMPDIR").value_or("/tmp"))) + "/";
}

std::string DataFolderPath() {
  const std::string base =
      WithoutSlash(AbsoluteEnv("XDG_DATA_HOME").value_or(HomeFolder() + "/.local/share"));
  return (base == "/" ? "" : base) + "/Pelrion/";
}

std::string DocumentsFolderPath() {
  if (auto env = AbsoluteEnv("XDG_DOCUMENTS_DIR")) return WithoutSlash(*env);
  const std::string config =
      WithoutSlash(AbsoluteEnv("XDG_CONFIG_HOME").value_or(HomeFolder() + "/.config"));
  if (auto dir = DocumentsFromUserDirs(config + "/user-dirs.dirs")) return WithoutSlash(*dir);
  return HomeFolder() + "/Documents";
}

std::optional<Folders> ResolveFolders(Registry& registry, Dialogs& dialogs) {
  Folders folders;

  auto program = ProgramFolder();
  if (!program) {
    dialogs.MessageBox("System error", kCaption, DialogIcon::kNone, DialogButtons::kOk);
    return std::nullopt;
  }
  folders.program = *program;

  // The XDG data home may not exist yet on a fresh account; the base directory rules say
  // to create it (0700) rather than treat it as missing.
  const std::string data_home =
      WithoutSlash(AbsoluteEnv("XDG_DATA_HOME").value_or(HomeFolder() + "/.local/share"));
  folders.data = DataFolderPath();
  if (!CreateFolderPath(data_home) || !IsWritableFolder(data_home) ||
      !CreateFolderPath(folders.data)) {
    ShowSystemFolderError(dialogs, "Application Data");
    return std::nullopt;
  }

  auto temp = PrivateTempFolder(AbsoluteEnv("TMPDIR").value_or("/tmp"));
  if (!temp) {
    ShowSystemFolderError(dialogs, "Temp");
    return std::nullopt;
  }
  folders.temp = *temp;

  const std::string documents = DocumentsFolderPath();
  if (IsDirectory(documents) && IsWritableFolder(documents)) {
    folders.templates = (documents == "/" ? "" : documents) + "/Pelrion/";
  } else {
    folders.templates = folders.data + "Templates/";
  }
  CreateFolderPath(folders.templates);

  if (auto db = registry.GetString(kProgramKey, "Db")) {
    std::string chosen = *db;
    if (!IsDirectory(chosen)) {
      dialogs.MessageBox("Failed to locate database.", kCaption, DialogIcon::kWarning,
                         DialogButtons::kOk);
      auto picked = dialogs.ChooseFolder("Locate Database Folder:");
      if (!picked) return std::nullopt;
      chosen = *picked;
    }
    folders.database = WithSlash(chosen);
  } else {
    folders.database = folders.data + "Db/";
    CreateFolderPath(folders.database);
  }
  registry.SetString(kProgramKey, "Db", folders.database);
  return folders;
}

}  // namespace pelrion::platform
