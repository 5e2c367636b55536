#include "import/thunderbird_profiles.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "import/ini_line.h"
#include "mailformat/ascii.h"

namespace pelrion::import {
namespace {

namespace ascii = mailformat::ascii;

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         ascii::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

struct ProfileSection {
  std::string path;
  std::string is_relative;  // "1", "0" or empty when missing
};

std::string FolderOf(const ProfileSection& section, std::string_view folder) {
  const bool relative =
      section.is_relative.empty() ? !section.path.starts_with('/') : section.is_relative == "1";
  if (!relative) return WithoutTrailingSlash(section.path);
  return WithoutTrailingSlash(std::string(folder) + "/" + section.path);
}

}  // namespace

std::string UserHomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
    return WithoutTrailingSlash(home);
  }
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return WithoutTrailingSlash(entry->pw_dir);
  }
  return "/";
}

std::vector<std::string> ThunderbirdFolders(std::string_view home) {
  const std::string base = home == "/" ? std::string() : std::string(home);
  return {base + "/.thunderbird", base + "/.var/app/org.mozilla.Thunderbird/.thunderbird",
          base + "/snap/thunderbird/common/.thunderbird"};
}

std::vector<std::string> ProfileFoldersOfIni(std::string_view ini_text, std::string_view folder) {
  std::vector<std::string> folders;
  bool in_profile = false;
  ProfileSection section;
  auto finish = [&] {
    if (in_profile && !section.path.empty()) folders.push_back(FolderOf(section, folder));
    in_profile = false;
    section = ProfileSection{};
  };
  while (!ini_text.empty()) {
    const auto end = ini_text.find('\n');
    const IniLine line = ClassifyIniLine(ini_text.substr(0, end));
    ini_text.remove_prefix(end == std::string_view::npos ? ini_text.size() : end + 1);
    if (line.kind == IniLineKind::kSection) {
      finish();
      in_profile = StartsWithIgnoreCase(line.name, "Profile");
    } else if (line.kind == IniLineKind::kKeyValue && in_profile) {
      if (ascii::EqualsIgnoreCase(line.name, "Path")) section.path = line.value;
      if (ascii::EqualsIgnoreCase(line.name, "IsRelative")) section.is_relative = line.value;
    }
  }
  finish();
  return folders;
}

std::vector<std::string> ProfileFoldersIn(std::string_view folder) {
  std::ifstream in(std::string(folder) + "/profiles.ini", std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return ProfileFoldersOfIni(text.str(), folder);
}

std::vector<std::string> ThunderbirdProfileFolders(std::string_view home) {
  std::vector<std::string> folders;
  for (const std::string& folder : ThunderbirdFolders(home)) {
    for (std::string& profile : ProfileFoldersIn(folder)) folders.push_back(std::move(profile));
  }
  return folders;
}

}  // namespace pelrion::import
