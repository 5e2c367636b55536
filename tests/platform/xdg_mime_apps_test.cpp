#include "platform/xdg_mime_apps.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/scoped_env.h"

namespace pelrion::platform {
namespace {

using test_support::ScopedEnv;

const std::string kXdg = PELRION_FIXTURES "/xdg";

// Points every folder of the look-up at the fixture tree, and PATH at its programs.
class FixtureEnvironment {
 public:
  explicit FixtureEnvironment(const std::optional<std::string>& desktop)
      : config_home_("XDG_CONFIG_HOME", kXdg + "/config"),
        config_dirs_("XDG_CONFIG_DIRS", kXdg + "/absent:" + kXdg + "/etc/"),
        data_home_("XDG_DATA_HOME", kXdg + "/home"),
        data_dirs_("XDG_DATA_DIRS", kXdg + "/sys"),
        desktop_("XDG_CURRENT_DESKTOP", desktop),
        path_("PATH", kXdg + "/bin:/usr/bin:/bin") {}

 private:
  ScopedEnv config_home_, config_dirs_, data_home_, data_dirs_, desktop_, path_;
};

struct LookupCase {
  const char* name;
  std::string mime_type;
  std::optional<std::string> desktop;  // XDG_CURRENT_DESKTOP
  std::string want;                    // desktop file under the fixture tree, "" for none
};

const LookupCase kLookupCases[] = {
    {"UserDefaultBeforeSystemDefault", "application/x-config-default", std::nullopt,
     "/home/applications/homeview.desktop"},
    {"DesktopListFirst", "application/x-desktop-specific", "KDE:GNOME",
     "/sys/applications/vendor/mail.desktop"},
    {"OtherDesktopUsesPlainList", "application/x-desktop-specific", "KDE",
     "/home/applications/homeview.desktop"},
    {"NoDesktopUsesPlainList", "application/x-desktop-specific", std::nullopt,
     "/home/applications/homeview.desktop"},
    {"UnusableEntriesSkipped", "application/x-skip-unusable", std::nullopt,
     "/sys/applications/sysview.desktop"},
    {"ConfigDirs", "application/x-config-dirs", std::nullopt, "/sys/applications/sysview.desktop"},
    {"AddedNotRemovedByALessImportantList", "application/x-added", std::nullopt,
     "/home/applications/homeview.desktop"},
    {"TypeIgnoresCase", "Application/X-Added", std::nullopt, "/home/applications/homeview.desktop"},
    {"DefaultAnywhereBeatsAdded", "application/x-default-beats-added", std::nullopt,
     "/sys/applications/sysview.desktop"},
    {"RemovedSkipsInstalledEntry", "application/x-removed", std::nullopt,
     "/sys/applications/other.desktop"},
    {"InstalledEntryWithoutAnyList", "application/x-cache-only", std::nullopt,
     "/sys/applications/sysview.desktop"},
    {"DataHomeCacheFirst", "application/x-data-home-first", std::nullopt,
     "/home/applications/homeview.desktop"},
    {"NothingAssociated", "application/x-no-viewer", std::nullopt, ""},
    {"EmptyType", "", std::nullopt, ""},
};

class DefaultApplicationTest : public testing::TestWithParam<LookupCase> {};

TEST_P(DefaultApplicationTest, FindsTheApplication) {
  const LookupCase& row = GetParam();
  const FixtureEnvironment environment(row.desktop);
  const ViewerCommand command = DefaultApplicationFor(row.mime_type, XdgDirsFromEnvironment());
  if (row.want.empty()) {
    EXPECT_TRUE(command.empty()) << command.desktop_file;
    EXPECT_EQ(command.desktop_file, "");
  } else {
    EXPECT_EQ(command.desktop_file, kXdg + row.want);
    EXPECT_FALSE(command.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, DefaultApplicationTest, testing::ValuesIn(kLookupCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DefaultApplicationCommandTest, GivesTheEntrysExecLineWithEscapesUndone) {
  const FixtureEnvironment environment(std::nullopt);
  const ViewerCommand command =
      DefaultApplicationFor("application/x-config-default", XdgDirsFromEnvironment());
  EXPECT_EQ(command.exec, "present-viewer --title \"Home View\" %f");
}

// Without the fixture programs on PATH the entries whose Exec or TryExec is missing are not
// installed applications, whatever the lists say.
TEST(DefaultApplicationCommandTest, MissingProgramsMakeNoViewer) {
  const FixtureEnvironment environment(std::nullopt);
  const ScopedEnv path("PATH", kXdg + "/absent");
  EXPECT_TRUE(
      DefaultApplicationFor("application/x-config-default", XdgDirsFromEnvironment()).empty());
  EXPECT_TRUE(DefaultApplicationFor("text/plain", XdgDirsFromEnvironment()).empty());
}

// "Open with..." lists every usable association in the order the default is chosen by, so
// the first is always the default; an entry reached twice is listed once.
TEST(ApplicationsForTest, ListsEveryUsableAssociationInOrderOfPreference) {
  struct Row {
    const char* mime_type;
    std::vector<std::string> want;  // names
  };
  const Row rows[] = {
      {"application/x-config-default", {"homeview", "sysview"}},
      {"application/x-data-home-first", {"homeview", "sysview"}},
      {"application/x-default-beats-added", {"sysview", "homeview"}},
      {"application/x-removed", {"other"}},
      {"application/x-skip-unusable", {"sysview"}},
      {"application/x-no-viewer", {}},
      {"", {}},
  };
  const FixtureEnvironment environment(std::nullopt);
  const XdgDirs dirs = XdgDirsFromEnvironment();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mime_type);
    const std::vector<DesktopApplication> applications = ApplicationsFor(row.mime_type, dirs);
    std::vector<std::string> names;
    for (const DesktopApplication& application : applications) names.push_back(application.name);
    EXPECT_EQ(names, row.want);
    if (!applications.empty()) {
      EXPECT_EQ(applications.front().command.desktop_file,
                DefaultApplicationFor(row.mime_type, dirs).desktop_file);
    }
  }
}

TEST(XdgDirsFromEnvironmentTest, DefaultsAndValues) {
  struct Row {
    const char* name;
    std::optional<std::string> config_home, config_dirs, data_home, data_dirs, desktop;
    XdgDirs want;
  };
  // clang-format off
  const std::vector<Row> rows = {
      {"Unset", std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
       {"/h/.config", {"/etc/xdg"}, "/h/.local/share", {"/usr/local/share", "/usr/share"}, {}}},
      {"Empty", "", "", "", "", "",
       {"/h/.config", {"/etc/xdg"}, "/h/.local/share", {"/usr/local/share", "/usr/share"}, {}}},
      {"RelativeIgnored", "cfg", "rel:/etc/a/", "data", "rel", "X-Cinnamon",
       {"/h/.config", {"/etc/a"}, "/h/.local/share", {"/usr/local/share", "/usr/share"},
        {"x-cinnamon"}}},
      {"Given", "/c/", "/d1::/d2", "/dh", "/s1:/s2/", "ubuntu:GNOME",
       {"/c", {"/d1", "/d2"}, "/dh", {"/s1", "/s2"}, {"ubuntu", "gnome"}}},
  };
  // clang-format on
  const ScopedEnv home("HOME", "/h/");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ScopedEnv config_home("XDG_CONFIG_HOME", row.config_home);
    const ScopedEnv config_dirs("XDG_CONFIG_DIRS", row.config_dirs);
    const ScopedEnv data_home("XDG_DATA_HOME", row.data_home);
    const ScopedEnv data_dirs("XDG_DATA_DIRS", row.data_dirs);
    const ScopedEnv desktop("XDG_CURRENT_DESKTOP", row.desktop);
    const XdgDirs dirs = XdgDirsFromEnvironment();
    EXPECT_EQ(dirs.config_home, row.want.config_home);
    EXPECT_EQ(dirs.config_dirs, row.want.config_dirs);
    EXPECT_EQ(dirs.data_home, row.want.data_home);
    EXPECT_EQ(dirs.data_dirs, row.want.data_dirs);
    EXPECT_EQ(dirs.desktops, row.want.desktops);
  }
}

TEST(XdgDirsFromEnvironmentTest, NoHomeMeansNoUserFolders) {
  const ScopedEnv home("HOME", std::nullopt);
  const ScopedEnv config_home("XDG_CONFIG_HOME", std::nullopt);
  const ScopedEnv data_home("XDG_DATA_HOME", std::nullopt);
  const XdgDirs dirs = XdgDirsFromEnvironment();
  EXPECT_EQ(dirs.config_home, "");
  EXPECT_EQ(dirs.data_home, "");
}

}  // namespace
}  // namespace pelrion::platform
