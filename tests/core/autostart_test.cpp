#include "core/autostart.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "support/files.h"

namespace pelrion::core {
namespace {

namespace fs = std::filesystem;

using test_support::ReadFile;

// Saves an environment variable and puts it back at the end of the test.
class ScopedEnv {
 public:
  explicit ScopedEnv(const char* name) : name_(name) {
    if (const char* value = std::getenv(name)) old_ = value;
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  void Set(const std::string& value) { ::setenv(name_, value.c_str(), 1); }
  void Unset() { ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// XDG_CONFIG_HOME and HOME point into a private folder for each test.
class AutostartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "pelrion-autostart-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    config_.Set(root_ + "/config");
    home_.Set(root_ + "/home");
    entry_ = root_ + "/config/autostart/pelrion.desktop";
  }
  void TearDown() override { fs::remove_all(root_); }

  ScopedEnv config_{"XDG_CONFIG_HOME"};
  ScopedEnv home_{"HOME"};
  std::string root_;
  std::string entry_;
};

TEST_F(AutostartTest, EntryPathFollowsTheXdgRules) {
  struct Row {
    const char* name;
    std::optional<std::string> config;  // nullopt: unset
    std::string want;
  };
  const Row rows[] = {
      {"ConfigHomeSet", root_ + "/cfg", root_ + "/cfg/autostart/pelrion.desktop"},
      {"ConfigHomeUnset", std::nullopt, root_ + "/home/.config/autostart/pelrion.desktop"},
      {"ConfigHomeEmpty", "", root_ + "/home/.config/autostart/pelrion.desktop"},
      {"ConfigHomeRelative", "cfg", root_ + "/home/.config/autostart/pelrion.desktop"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.config) {
      config_.Set(*row.config);
    } else {
      config_.Unset();
    }
    EXPECT_EQ(AutostartEntryPath(), row.want);
  }
}

TEST(AutostartExec, QuotesThePathForTheExecKey) {
  struct Row {
    const char* name;
    std::string_view path;
    std::optional<std::string_view> want;
  };
  const Row rows[] = {
      {"Plain", "/usr/bin/pelrion", R"("/usr/bin/pelrion")"},
      {"Blank", "/opt/my apps/pelrion", R"("/opt/my apps/pelrion")"},
      {"DoubleQuote", "/opt/a\"b/pelrion", R"("/opt/a\\"b/pelrion")"},
      {"Backtick", "/opt/a`b/pelrion", R"("/opt/a\\`b/pelrion")"},
      {"Dollar", "/opt/$HOME/pelrion", R"("/opt/\\$HOME/pelrion")"},
      {"Backslash", "/opt/a\\b/pelrion", R"("/opt/a\\\\b/pelrion")"},
      {"Percent", "/opt/100%/pelrion", R"("/opt/100%%/pelrion")"},
      {"ShellSpecials", "/opt/a;b&c|d<e>f'g(h)*?#~/p", R"("/opt/a;b&c|d<e>f'g(h)*?#~/p")"},
      {"LineBreaks", "/opt/a\nb\tc\rd/p", R"("/opt/a\nb\tc\rd/p")"},
      {"HighBytes", "/opt/caf\xc3\xa9/pelrion", "\"/opt/caf\xc3\xa9/pelrion\""},
      {"OtherControlRefused",
       "/opt/a\x01"
       "b/pelrion",
       std::nullopt},
      {"DeleteRefused", "/opt/a\x7f/pelrion", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto got = QuoteExecArgument(row.path);
    ASSERT_EQ(got.has_value(), row.want.has_value());
    if (got) {
      EXPECT_EQ(*got, *row.want);
    }
  }
}

TEST_F(AutostartTest, OnWritesTheEntryAndOffRemovesIt) {
  ASSERT_TRUE(ApplyAutostart(true, "/opt/Pelrion 2/bin/pelrion"));
  EXPECT_EQ(ReadFile(entry_),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Pelrion\n"
            "Comment=Anti-spam mail proxy\n"
            "Exec=\"/opt/Pelrion 2/bin/pelrion\"\n"
            "Terminal=false\n");
  struct stat info {};
  ASSERT_EQ(::stat(entry_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);

  // Turning it on again replaces the entry; no temporary file is left behind.
  ASSERT_TRUE(ApplyAutostart(true, "/usr/local/bin/pelrion"));
  EXPECT_NE(ReadFile(entry_).find("Exec=\"/usr/local/bin/pelrion\"\n"), std::string::npos);
  int files = 0;
  for (const auto& item : fs::directory_iterator(root_ + "/config/autostart")) {
    EXPECT_EQ(item.path().filename(), "pelrion.desktop");
    ++files;
  }
  EXPECT_EQ(files, 1);

  ASSERT_TRUE(ApplyAutostart(false, "/usr/local/bin/pelrion"));
  EXPECT_FALSE(fs::exists(entry_));
  // Off when there is no entry is no failure.
  EXPECT_TRUE(ApplyAutostart(false, "/usr/local/bin/pelrion"));
}

TEST_F(AutostartTest, RelativeExecutablePathChangesNothing) {
  struct Row {
    const char* name;
    bool enabled;
    std::string_view path;
  };
  const Row rows[] = {
      {"OnRelative", true, "bin/pelrion"},
      {"OnEmpty", true, ""},
      {"OffRelative", false, "./pelrion"},
  };
  ASSERT_TRUE(ApplyAutostart(true, "/usr/bin/pelrion"));
  const std::string before = ReadFile(entry_);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_TRUE(ApplyAutostart(row.enabled, row.path));
    EXPECT_EQ(ReadFile(entry_), before);
  }
}

TEST_F(AutostartTest, FailuresAreReported) {
  // The configuration folder is a plain file: the autostart folder cannot exist.
  std::ofstream(root_ + "/plain") << "x";
  config_.Set(root_ + "/plain");
  EXPECT_FALSE(ApplyAutostart(true, "/usr/bin/pelrion"));

  // A path no desktop entry can hold writes nothing.
  config_.Set(root_ + "/config");
  EXPECT_FALSE(ApplyAutostart(true, "/usr/bin/pel\x01rion"));
  EXPECT_FALSE(fs::exists(entry_));

  // An entry that cannot be removed (it is a non-empty folder here).
  fs::create_directories(entry_ + "/inside");
  EXPECT_FALSE(ApplyAutostart(false, "/usr/bin/pelrion"));
}

TEST(AutostartExecutable, CurrentPathIsAbsoluteAndExists) {
  const auto path = CurrentExecutablePath();
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(path->front(), '/');
  EXPECT_TRUE(fs::equivalent(*path, "/proc/self/exe"));
}

}  // namespace
}  // namespace pelrion::core
