#include "import/mail_clients.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "import/account_manager.h"
#include "import/file_version.h"
#include "import/ini_accounts.h"
#include "import/linux_mail_accounts.h"
#include "import/mozilla_accounts.h"
#include "import/registry_profiles.h"
#include "import/thunderbird_profiles.h"

namespace pelrion::import {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kAnyVersion = ~std::uint64_t{0};

constexpr std::array<MailClientKindInfo, kMailClientKindCount> kKinds = {{
    {"Eudora", "eudora.exe", 0, kAnyVersion},
    {"Mozilla", "mozilla.exe", 0, kAnyVersion},
    {"Netscape", "netscape.exe", 0, kAnyVersion},
    {"Netscape", "netscp6.exe", 0, kAnyVersion},
    {"Netscape", "netscp.exe", 0, kAnyVersion},
    {"Mozilla Thunderbird", "thunderbird.exe", 0, kAnyVersion},
    {"Opera", "opera.exe", 0, kAnyVersion},
    {"Outlook", "outlook.exe", FileVersion(8, 5, 0, 0), FileVersion(8, 65535, 65535, 65535)},
    {"Outlook", "outlook.exe", FileVersion(9, 0, 0, 0), kAnyVersion},
    {"Outlook Express", "msimn.exe", 0, kAnyVersion},
    {"Evolution", "", 0, kAnyVersion},
    {"Claws Mail", "", 0, kAnyVersion},
    {"Sylpheed", "", 0, kAnyVersion},
}};

bool IsFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool IsFolder(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

std::optional<std::string> ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

void Append(std::vector<MailCandidate>& to, std::vector<MailCandidate> more) {
  for (MailCandidate& candidate : more) to.push_back(std::move(candidate));
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The accounts of the prefs.js in each folder.
std::vector<MailCandidate> ReadProfiles(const std::vector<std::string>& folders, bool old_style) {
  std::vector<MailCandidate> candidates;
  for (const std::string& folder : folders) {
    const PreferenceFile prefs = ReadPreferenceFile(ResolveIgnoringCase(folder + "/prefs.js"));
    Append(candidates, old_style ? ReadOldStyleAccount(prefs) : ReadMozillaAccounts(prefs));
  }
  return candidates;
}

std::string Format(std::string_view pattern, std::string_view first, std::string_view second) {
  std::string text(pattern);
  text.replace(text.find("%s"), 2, first);
  text.replace(text.find("%s"), 2, second);
  return text;
}

}  // namespace

const MailClientKindInfo& KindInfo(MailClientKind kind) {
  return kKinds[static_cast<std::size_t>(kind)];
}

std::optional<MailClientKind> KindOfNumber(int number) {
  if (number < 0 || number >= kMailClientKindCount) return std::nullopt;
  return static_cast<MailClientKind>(number);
}

MailClients::MailClients(std::string home, std::string wine_prefix)
    : home_(std::move(home)), wine_(std::move(wine_prefix)) {
  if (home_ == "/") home_.clear();
}

MailClients MailClients::OfThisUser() {
  const std::string home = UserHomeFolder();
  return MailClients(home, WinePrefixFolder(home));
}

bool MailClients::DetectHere(MailClientKind kind) const {
  switch (kind) {
    case MailClientKind::kMozilla:
      return IsFile(home_ + "/.mozilla/appreg") ||
             IsFile(home_ + "/.mozilla/seamonkey/profiles.ini");
    case MailClientKind::kNetscape4:
      return IsFile(home_ + "/.netscape/preferences.js");
    case MailClientKind::kThunderbird:
      for (const std::string& folder : ThunderbirdFolders(home_.empty() ? "/" : home_)) {
        if (IsFile(folder + "/profiles.ini")) return true;
      }
      return false;
    case MailClientKind::kOpera:
      return IsFile(home_ + "/.opera/mail/accounts.ini");
    case MailClientKind::kEvolution:
      return IsFolder(home_ + "/.config/evolution/sources");
    case MailClientKind::kClawsMail:
      return IsFile(home_ + "/.claws-mail/accountrc");
    case MailClientKind::kSylpheed:
      return IsFile(home_ + "/.sylpheed-2.0/accountrc");
    default:
      return false;
  }
}

std::optional<std::string> MailClients::WineProgram(MailClientKind kind) const {
  const MailClientKindInfo& info = KindInfo(kind);
  if (info.program_file.empty()) return std::nullopt;
  auto path = wine_.ProgramFile(info.program_file);
  if (!path) return std::nullopt;
  if (info.lowest_version != 0 || info.highest_version != kAnyVersion) {
    const auto version = FileVersionOf(*path);
    if (!version || *version < info.lowest_version || *version > info.highest_version) {
      return std::nullopt;
    }
  }
  return path;
}

bool MailClients::Detect(MailClientKind kind) const {
  return DetectHere(kind) || WineProgram(kind).has_value();
}

std::vector<MailClientKind> MailClients::ListInstalled() const {
  std::vector<MailClientKind> kinds;
  for (int number = 0; number < kMailClientKindCount; ++number) {
    const auto kind = static_cast<MailClientKind>(number);
    if (Detect(kind)) kinds.push_back(kind);
  }
  return kinds;
}

std::vector<MailCandidate> MailClients::ReadMozillaProfiles(MailClientKind kind) const {
  std::vector<std::string> folders;
  auto add_windows_folders = [&](const std::vector<std::string>& windows_paths) {
    for (const std::string& windows_path : windows_paths) {
      if (auto path = wine_.UnixPath(windows_path)) folders.push_back(*path);
    }
  };
  const auto app_data = wine_.AppDataFolder();
  switch (kind) {
    case MailClientKind::kMozilla:
      folders = RegistryProfileDirectories(home_ + "/.mozilla/appreg");
      for (std::string& folder : ProfileFoldersIn(home_ + "/.mozilla/seamonkey")) {
        folders.push_back(std::move(folder));
      }
      [[fallthrough]];
    case MailClientKind::kNetscape6:
    case MailClientKind::kNetscape7:
      if (app_data) {
        add_windows_folders(
            RegistryProfileDirectories(ResolveIgnoringCase(*app_data + "/Mozilla/Registry.dat")));
      }
      return ReadProfiles(folders, false);
    case MailClientKind::kNetscape4: {
      std::vector<MailCandidate> candidates;
      const std::string own = home_ + "/.netscape/preferences.js";
      if (IsFile(own)) candidates = ReadOldStyleAccount(ReadPreferenceFile(own));
      add_windows_folders(
          NsregProfileLocations(ResolveIgnoringCase(wine_.WindowsFolder() + "/nsreg.dat")));
      Append(candidates, ReadProfiles(folders, true));
      return candidates;
    }
    default: {  // Thunderbird
      folders = ThunderbirdProfileFolders(home_.empty() ? "/" : home_);
      if (app_data) {
        // The Windows profiles.ini names its folders with backslashes, always relative.
        const std::string ini_folder = ResolveIgnoringCase(*app_data + "/Thunderbird");
        if (const auto text = ReadText(ini_folder + "/profiles.ini")) {
          std::string unix_text = *text;
          for (char& c : unix_text) {
            if (c == '\\') c = '/';
          }
          for (std::string& folder : ProfileFoldersOfIni(unix_text, ini_folder)) {
            if (folder.starts_with(ini_folder)) folders.push_back(ResolveIgnoringCase(folder));
          }
        }
      }
      return ReadProfiles(folders, false);
    }
  }
}

std::vector<MailCandidate> MailClients::ReadEudora(SettingsFileQuestions& questions) const {
  if (!WineProgram(MailClientKind::kEudora)) return {};
  std::vector<std::string> places;
  if (const auto app_data = wine_.AppDataFolder()) {
    places.push_back(ResolveIgnoringCase(*app_data + "/Qualcomm/Eudora/Eudora.ini"));
  }
  // The program's own path with "exe" made "ini" names the settings beside it.
  if (const auto program = wine_.AppPath("eudora.exe"); program && program->size() >= 4) {
    if (auto path = wine_.UnixPath(program->substr(0, program->size() - 3) + "ini")) {
      places.push_back(*path);
    }
  }
  std::optional<std::string> chosen;
  for (const std::string& place : places) {
    if (!IsFile(place)) continue;
    if (questions.UseFoundFile(Format(kEudoraFoundText, "Pelrion", place))) chosen = place;
    break;
  }
  if (!chosen) chosen = questions.LocateFile(kLocateEudoraTitle, "INI Files", "*.ini");
  if (!chosen) return {};
  const auto text = ReadText(*chosen);
  return text ? ReadEudoraAccounts(*text) : std::vector<MailCandidate>{};
}

std::vector<MailCandidate> MailClients::ReadOpera(SettingsFileQuestions& questions) const {
  std::vector<MailCandidate> candidates;
  if (const auto own = ReadText(home_ + "/.opera/mail/accounts.ini")) {
    candidates = ReadOperaAccounts(*own);
  }
  const auto program = WineProgram(MailClientKind::kOpera);
  if (!program) return candidates;
  const std::string program_folder = FolderOf(*program);
  std::vector<std::string> places{ResolveIgnoringCase(program_folder + "/Mail/accounts.ini")};
  if (const auto app_data = wine_.AppDataFolder()) {
    const std::string folder_name = fs::path(program_folder).filename().string();
    places.push_back(
        ResolveIgnoringCase(*app_data + "/Opera/" + folder_name + "/Mail/accounts.ini"));
  }
  std::optional<std::string> chosen;
  for (const std::string& place : places) {
    if (IsFile(place)) {
      chosen = place;
      break;
    }
  }
  if (!chosen) chosen = questions.LocateFile(kLocateOperaTitle, "Text Files", "*.ini *.txt");
  if (const auto text = chosen ? ReadText(*chosen) : std::nullopt) {
    Append(candidates, ReadOperaAccounts(*text));
  }
  return candidates;
}

std::vector<MailCandidate> MailClients::ReadAccounts(MailClientKind kind,
                                                     SettingsFileQuestions& questions) const {
  switch (kind) {
    case MailClientKind::kEudora:
      return ReadEudora(questions);
    case MailClientKind::kOpera:
      return ReadOpera(questions);
    case MailClientKind::kOutlook98:
      return ReadAccountManagerAccounts(AccountManager::kOffice8, wine_.user());
    case MailClientKind::kOutlook:
      return ReadAccountManagerAccounts(AccountManager::kOffice, wine_.user());
    case MailClientKind::kOutlookExpress:
      return ReadAccountManagerAccounts(AccountManager::kInternetAccount, wine_.user());
    case MailClientKind::kEvolution:
      return ReadEvolutionAccounts(ReadEvolutionSources(home_ + "/.config/evolution/sources"));
    case MailClientKind::kClawsMail:
    case MailClientKind::kSylpheed: {
      const std::string folder =
          kind == MailClientKind::kClawsMail ? "/.claws-mail" : "/.sylpheed-2.0";
      const auto text = ReadText(home_ + folder + "/accountrc");
      return text ? ReadAccountrcAccounts(*text) : std::vector<MailCandidate>{};
    }
    default:
      return ReadMozillaProfiles(kind);
  }
}

}  // namespace pelrion::import
