#include "platform/xdg_mime_apps.h"

#include <sys/stat.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <set>

#include "platform/desktop_entry.h"
#include "platform/key_file.h"
#include "platform/launch.h"

namespace pelrion::platform {
namespace {

constexpr const char* kDefaults = "Default Applications";
constexpr const char* kAdded = "Added Associations";
constexpr const char* kRemoved = "Removed Associations";
constexpr const char* kMimeCache = "MIME Cache";

std::string ToLowerCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// An absolute folder from the environment, or fallback.
std::string FolderFromEnvironment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  if (value != nullptr && value[0] == '/') return WithoutTrailingSlashes(value);
  return fallback;
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> items;
  while (true) {
    const std::size_t end = text.find(separator);
    if (end != 0 && !text.empty()) items.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) return items;
    text.remove_prefix(end + 1);
  }
}

// Absolute folders of a ':' list from the environment, or the fallback list.
std::vector<std::string> FoldersFromEnvironment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  std::vector<std::string> folders;
  for (const std::string& folder : Split(value != nullptr ? value : "", ':')) {
    if (folder.front() == '/') folders.push_back(WithoutTrailingSlashes(folder));
  }
  if (folders.empty()) {
    for (const std::string& folder : Split(fallback, ':')) folders.push_back(folder);
  }
  return folders;
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The applications folders, most important first.
std::vector<std::string> ApplicationFolders(const XdgDirs& dirs) {
  std::vector<std::string> folders;
  if (!dirs.data_home.empty()) folders.push_back(dirs.data_home + "/applications");
  for (const std::string& dir : dirs.data_dirs) folders.push_back(dir + "/applications");
  return folders;
}

// The file of a desktop ID: the first applications folder holding it, where a '-' of the ID
// may stand for a subfolder ("kde-mail.desktop" is also "kde/mail.desktop").
std::optional<std::string> FindDesktopFile(const std::string& id, const XdgDirs& dirs) {
  if (id.empty() || id.find('/') != std::string::npos || id == "." || id == "..") {
    return std::nullopt;
  }
  std::vector<std::string> names = {id};
  std::string name = id;
  for (std::size_t dash = name.find('-'); dash != std::string::npos; dash = name.find('-', dash)) {
    name[dash] = '/';
    names.push_back(name);
  }
  for (const std::string& folder : ApplicationFolders(dirs)) {
    for (const std::string& candidate : names) {
      const std::string path = folder + "/" + candidate;
      if (IsRegularFile(path)) return path;
    }
  }
  return std::nullopt;
}

// An installed, usable application: its command and its name.
struct UsableEntry {
  ViewerCommand command;
  std::string name;
};

std::optional<UsableEntry> UsableApplication(const std::string& id, const XdgDirs& dirs) {
  const std::optional<std::string> path = FindDesktopFile(id, dirs);
  if (!path) return std::nullopt;
  const std::optional<DesktopEntry> entry = ReadDesktopEntry(*path);
  if (!entry || entry->hidden || entry->type != "Application") return std::nullopt;
  if (!entry->try_exec.empty() && !ProgramExists(entry->try_exec)) return std::nullopt;
  const std::optional<std::vector<std::string>> argv = SplitExecLine(entry->exec, "");
  if (!argv || !ProgramExists(argv->front())) return std::nullopt;
  return UsableEntry{ViewerCommand{entry->exec, *path}, entry->name};
}

// One mimeapps.list file, read, with the folder level it belongs to.
struct MimeAppsList {
  KeyFile file;
  std::size_t level;
};

struct Level {
  std::string folder;
  bool applications = false;  // an applications folder, with its mimeinfo.cache
};

std::vector<Level> Levels(const XdgDirs& dirs) {
  std::vector<Level> levels;
  if (!dirs.config_home.empty()) levels.push_back({dirs.config_home, false});
  for (const std::string& dir : dirs.config_dirs) levels.push_back({dir, false});
  for (const std::string& folder : ApplicationFolders(dirs)) levels.push_back({folder, true});
  return levels;
}

std::vector<MimeAppsList> ReadMimeAppsLists(const std::vector<Level>& levels, const XdgDirs& dirs) {
  std::vector<MimeAppsList> lists;
  for (std::size_t level = 0; level < levels.size(); ++level) {
    std::vector<std::string> names;
    for (const std::string& desktop : dirs.desktops) names.push_back(desktop + "-mimeapps.list");
    names.emplace_back("mimeapps.list");
    for (const std::string& name : names) {
      if (std::optional<KeyFile> file = ReadKeyFile(levels[level].folder + "/" + name)) {
        lists.push_back({std::move(*file), level});
      }
    }
  }
  return lists;
}

std::vector<std::string> DesktopIds(const KeyFile& file, const char* group,
                                    const std::string& mime_type) {
  return SplitListValue(KeyFileValue(file, group, mime_type).value_or(""));
}


// Calls take with each desktop ID associated with the type, most preferred first, until it
// returns true: the defaults of every list, then level by level the added associations (less
// the IDs a more important list removed) and each applications folder's mimeinfo.cache.
void VisitCandidates(std::string_view mime_type, const XdgDirs& dirs,
                     const std::function<bool(const std::string& id)>& take) {
  const std::string type = ToLowerCopy(mime_type);
  if (type.empty()) return;
  const std::vector<Level> levels = Levels(dirs);
  const std::vector<MimeAppsList> lists = ReadMimeAppsLists(levels, dirs);

  for (const MimeAppsList& list : lists) {
    for (const std::string& id : DesktopIds(list.file, kDefaults, type)) {
      if (take(id)) return;
    }
  }

  std::set<std::string> removed;
  const auto take_any = [&](const std::vector<std::string>& ids) {
    for (const std::string& id : ids) {
      if (removed.count(id) == 0 && take(id)) return true;
    }
    return false;
  };
  auto list = lists.begin();
  for (std::size_t level = 0; level < levels.size(); ++level) {
    for (; list != lists.end() && list->level == level; ++list) {
      if (take_any(DesktopIds(list->file, kAdded, type))) return;
      for (std::string& id : DesktopIds(list->file, kRemoved, type)) removed.insert(std::move(id));
    }
    if (!levels[level].applications) continue;
    const std::optional<KeyFile> cache = ReadKeyFile(levels[level].folder + "/mimeinfo.cache");
    if (cache && take_any(DesktopIds(*cache, kMimeCache, type))) return;
  }
}

}  // namespace

XdgDirs XdgDirsFromEnvironment() {
  const char* home_value = std::getenv("HOME");
  const std::string home =
      home_value != nullptr && home_value[0] == '/' ? WithoutTrailingSlashes(home_value) : "";
  XdgDirs dirs;
  dirs.config_home =
      FolderFromEnvironment("XDG_CONFIG_HOME", home.empty() ? "" : home + "/.config");
  dirs.config_dirs = FoldersFromEnvironment("XDG_CONFIG_DIRS", "/etc/xdg");
  dirs.data_home =
      FolderFromEnvironment("XDG_DATA_HOME", home.empty() ? "" : home + "/.local/share");
  dirs.data_dirs = FoldersFromEnvironment("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
  const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
  for (const std::string& desktop : Split(desktops != nullptr ? desktops : "", ':')) {
    dirs.desktops.push_back(ToLowerCopy(desktop));
  }
  return dirs;
}

ViewerCommand DefaultApplicationFor(std::string_view mime_type, const XdgDirs& dirs) {
  ViewerCommand found;
  VisitCandidates(mime_type, dirs, [&](const std::string& id) {
    std::optional<UsableEntry> usable = UsableApplication(id, dirs);
    if (usable) found = std::move(usable->command);
    return usable.has_value();
  });
  return found;
}

std::vector<DesktopApplication> ApplicationsFor(std::string_view mime_type, const XdgDirs& dirs) {
  std::vector<DesktopApplication> applications;
  std::set<std::string> listed;  // desktop files
  VisitCandidates(mime_type, dirs, [&](const std::string& id) {
    std::optional<UsableEntry> usable = UsableApplication(id, dirs);
    if (usable && listed.insert(usable->command.desktop_file).second) {
      std::string name = usable->name.empty() ? id : std::move(usable->name);
      applications.push_back({std::move(name), std::move(usable->command)});
    }
    return false;
  });
  return applications;
}

}  // namespace pelrion::platform
