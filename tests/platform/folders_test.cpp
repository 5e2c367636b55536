#include "platform/folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/recording_dialogs.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace pelrion::platform {
namespace {

using testing_support::RecordingDialogs;
using test_support::ScopedEnv;
using test_support::TempDir;

unsigned Mode(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

bool IsDir(const std::string& path) { return std::filesystem::is_directory(path); }

TEST(FolderHelpersTest, CreateFolderPathMakesEveryMissingLevelPrivate) {
  TempDir dir;
  const std::string deep = dir / "a/b/c/";
  EXPECT_TRUE(CreateFolderPath(deep));
  EXPECT_TRUE(IsDir(deep));
  EXPECT_EQ(Mode(dir / "a"), 0700u);
  EXPECT_EQ(Mode(dir / "a/b/c"), 0700u);
  EXPECT_TRUE(CreateFolderPath(dir / "a/b"));  // existing, without trailing '/'
  std::ofstream(dir / "file") << "x";
  EXPECT_FALSE(CreateFolderPath(dir / "file/sub/"));
}

TEST(FolderHelpersTest, WritableFolderTestLeavesNoFile) {
  TempDir dir;
  EXPECT_TRUE(IsWritableFolder(dir.path() + "/"));
  EXPECT_TRUE(IsWritableFolder(dir.path()));
  EXPECT_FALSE(std::filesystem::exists(dir / "test1324.fil"));
  EXPECT_FALSE(IsWritableFolder(dir / "missing/"));
}

TEST(FolderHelpersTest, EmptyFolderDeletesFilesButNotFolders) {
  TempDir dir;
  std::ofstream(dir / "one.eml") << "x";
  std::ofstream(dir / "two") << "y";
  std::filesystem::create_symlink("/etc/passwd", dir / "link");
  std::filesystem::create_directory(dir / "sub");
  std::ofstream(dir / "sub/kept") << "z";
  EXPECT_TRUE(EmptyFolder(dir.path() + "/"));
  EXPECT_FALSE(std::filesystem::exists(dir / "one.eml"));
  EXPECT_FALSE(std::filesystem::exists(dir / "two"));
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "link"));
  EXPECT_TRUE(std::filesystem::exists("/etc/passwd"));
  EXPECT_TRUE(std::filesystem::exists(dir / "sub/kept"));
  EXPECT_FALSE(EmptyFolder(dir / "missing/"));
}

// Every location the resolution reads from the environment points into one temp dir.
class ResolveFoldersTest : public testing::Test {
 protected:
  std::optional<Folders> Resolve() { return ResolveFolders(registry_, dialogs_); }
  std::string Data() const { return root_ / "data/Pelrion/"; }

  TempDir root_;
  ScopedEnv home_{"HOME", root_ / "home"};
  ScopedEnv data_{"XDG_DATA_HOME", root_ / "data"};
  ScopedEnv config_{"XDG_CONFIG_HOME", root_ / "config"};
  ScopedEnv tmp_{"TMPDIR", root_.path()};
  ScopedEnv documents_{"XDG_DOCUMENTS_DIR", std::nullopt};
  MemoryRegistry registry_;
  RecordingDialogs dialogs_;
};

TEST_F(ResolveFoldersTest, FreshAccountGetsDefaultFolders) {
  auto folders = Resolve();
  ASSERT_TRUE(folders.has_value());
  char exe[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  EXPECT_EQ(folders->program,
            std::filesystem::path(exe).parent_path().string() + "/");
  EXPECT_EQ(folders->data, Data());
  EXPECT_EQ(folders->temp, root_ / ("Pelrion-" + std::to_string(geteuid()) + "/"));
  EXPECT_EQ(folders->templates, Data() + "Templates/");  // no ~/Documents
  EXPECT_EQ(folders->database, Data() + "Db/");
  for (const std::string& made : {folders->data, folders->temp, folders->templates,
                                  folders->database}) {
    EXPECT_TRUE(IsDir(made)) << made;
  }
  EXPECT_EQ(Mode(folders->temp), 0700u);
  EXPECT_EQ(registry_.GetString(kProgramKey, "Db"), Data() + "Db/");
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(ResolveFoldersTest, DocumentsFolderFromEnvironmentHoldsTheTemplates) {
  std::filesystem::create_directories(root_ / "docs");
  ScopedEnv documents("XDG_DOCUMENTS_DIR", root_ / "docs/");
  auto folders = Resolve();
  ASSERT_TRUE(folders.has_value());
  EXPECT_EQ(folders->templates, root_ / "docs/Pelrion/");
  EXPECT_TRUE(IsDir(folders->templates));
}

struct UserDirsCase {
  const char* name;
  const char* line;
  const char* want;  // relative to the temp root
};

const UserDirsCase kUserDirs[] = {
    {"HomeRelative", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"", "home/Dokumente"},
    {"Absolute", "XDG_DOCUMENTS_DIR=\"@/elsewhere\"", "elsewhere"},
    {"Unquoted", "XDG_DOCUMENTS_DIR=$HOME/Dokumente", "home/Documents"},
    {"Commented", "# XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"", "home/Documents"},
};

class ResolveFoldersUserDirsTest : public ResolveFoldersTest,
                                   public testing::WithParamInterface<UserDirsCase> {};

TEST_P(ResolveFoldersUserDirsTest, DocumentsFolderFromUserDirsFile) {
  std::string line = GetParam().line;
  if (auto at = line.find('@'); at != std::string::npos) line.replace(at, 1, root_.path());
  std::filesystem::create_directories(root_ / "config");
  std::ofstream(root_ / "config/user-dirs.dirs")
      << "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n" << line << "\n";
  const std::string want = root_ / GetParam().want;
  EXPECT_EQ(DocumentsFolderPath(), want);
  std::filesystem::create_directories(want);
  auto folders = Resolve();
  ASSERT_TRUE(folders.has_value());
  EXPECT_EQ(folders->templates, want + "/Pelrion/");
}

INSTANTIATE_TEST_SUITE_P(Lines, ResolveFoldersUserDirsTest, testing::ValuesIn(kUserDirs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResolveFoldersTest, StoredDatabaseFolderIsUsedWithTrailingSlash) {
  std::filesystem::create_directories(root_ / "mydb");
  registry_.SetString(kProgramKey, "Db", root_ / "mydb");
  auto folders = Resolve();
  ASSERT_TRUE(folders.has_value());
  EXPECT_EQ(folders->database, root_ / "mydb/");
  EXPECT_EQ(registry_.GetString(kProgramKey, "Db"), root_ / "mydb/");
  EXPECT_FALSE(IsDir(Data() + "Db"));
  EXPECT_TRUE(dialogs_.boxes.empty());
}

TEST_F(ResolveFoldersTest, MissingDatabaseFolderAsksForAnother) {
  std::filesystem::create_directories(root_ / "chosen");
  registry_.SetString(kProgramKey, "Db", root_ / "removed/");
  dialogs_.folder_choice = root_ / "chosen";
  auto folders = Resolve();
  ASSERT_TRUE(folders.has_value());
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, "Failed to locate database.");
  EXPECT_EQ(dialogs_.boxes[0].caption, "Pelrion");
  EXPECT_EQ(dialogs_.boxes[0].icon, DialogIcon::kWarning);
  EXPECT_EQ(dialogs_.chooser_titles, std::vector<std::string>{"Locate Database Folder:"});
  EXPECT_EQ(folders->database, root_ / "chosen/");
  EXPECT_EQ(registry_.GetString(kProgramKey, "Db"), root_ / "chosen/");
}

TEST_F(ResolveFoldersTest, CancelledDatabaseChooserFails) {
  registry_.SetString(kProgramKey, "Db", root_ / "removed/");
  EXPECT_EQ(Resolve(), std::nullopt);
  EXPECT_EQ(dialogs_.chooser_titles.size(), 1u);
  EXPECT_EQ(registry_.GetString(kProgramKey, "Db"), root_ / "removed/");
}

struct BrokenFolderCase {
  const char* name;
  const char* variable;
  const char* text;
};

const BrokenFolderCase kBrokenFolders[] = {
    {"DataHome", "XDG_DATA_HOME",
     "System folder 'Application Data' could not be found or written to."},
    {"TempDir", "TMPDIR", "System folder 'Temp' could not be found or written to."},
};

class ResolveFoldersBrokenTest : public ResolveFoldersTest,
                                 public testing::WithParamInterface<BrokenFolderCase> {};

// A path below a plain file can be neither found nor created, even for root.
TEST_P(ResolveFoldersBrokenTest, UnusableSystemFolderFailsWithItsName) {
  std::ofstream(root_ / "plain-file") << "x";
  ScopedEnv broken(GetParam().variable, root_ / "plain-file/below");
  EXPECT_EQ(Resolve(), std::nullopt);
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, GetParam().text);
  EXPECT_EQ(dialogs_.boxes[0].caption, "Pelrion");
  EXPECT_EQ(dialogs_.boxes[0].buttons, DialogButtons::kOk);
  EXPECT_EQ(registry_.Get(kProgramKey, "Db"), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Folders, ResolveFoldersBrokenTest, testing::ValuesIn(kBrokenFolders),
                         [](const auto& info) { return std::string(info.param.name); });

// Another user of a shared /tmp can create /tmp/Pelrion-<uid> first. Whatever is in the
// way is left alone and a fresh private folder of our own is used, so start-up still
// succeeds and nothing is written through the planted name.
struct TakenTempCase {
  const char* name;
  bool needs_root;
  void (*plant)(const std::string& path, const std::string& elsewhere);
};

const TakenTempCase kTakenTemp[] = {
    {"SymlinkToAFolder", false,
     [](const std::string& path, const std::string& elsewhere) {
       std::filesystem::create_directory_symlink(elsewhere, path);
     }},
    {"DanglingSymlink", false,
     [](const std::string& path, const std::string& elsewhere) {
       std::filesystem::create_directory_symlink(elsewhere + "/missing", path);
     }},
    {"PlainFile", false,
     [](const std::string& path, const std::string&) { std::ofstream(path) << "planted"; }},
    {"AnotherUsersFolder", true,
     [](const std::string& path, const std::string&) {
       ASSERT_EQ(mkdir(path.c_str(), 0777), 0);
       ASSERT_EQ(chown(path.c_str(), 12345, 12345), 0);
       ASSERT_EQ(chmod(path.c_str(), 0777), 0);
     }},
};

class TakenTempFolderTest : public ResolveFoldersTest,
                            public testing::WithParamInterface<TakenTempCase> {};

TEST_P(TakenTempFolderTest, FreshPrivateFolderIsUsedInstead) {
  if (GetParam().needs_root && geteuid() != 0) GTEST_SKIP() << "chown needs root";
  const std::string prefix = root_ / ("Pelrion-" + std::to_string(geteuid()));
  std::filesystem::create_directories(root_ / "elsewhere");
  GetParam().plant(prefix, root_ / "elsewhere");
  struct stat planted {};
  ASSERT_EQ(lstat(prefix.c_str(), &planted), 0);

  auto folders = Resolve();
  ASSERT_TRUE(folders.has_value());
  EXPECT_TRUE(dialogs_.boxes.empty());
  const std::string& temp = folders->temp;
  ASSERT_EQ(temp.size(), prefix.size() + 8) << temp;  // prefix + "-XXXXXX/"
  EXPECT_EQ(temp.substr(0, prefix.size() + 1), prefix + "-");
  struct stat st {};
  ASSERT_EQ(lstat(temp.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_uid, geteuid());
  EXPECT_EQ(st.st_mode & 07777, 0700u);
  EXPECT_TRUE(IsWritableFolder(temp));

  // The planted entry is untouched and nothing was created through it.
  struct stat after {};
  ASSERT_EQ(lstat(prefix.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, planted.st_ino);
  EXPECT_EQ(after.st_uid, planted.st_uid);
  EXPECT_EQ(after.st_mode, planted.st_mode);
  EXPECT_TRUE(std::filesystem::is_empty(root_ / "elsewhere"));

  // Every start with the name still taken gets a private folder too.
  auto again = PrivateTempFolder(root_.path());
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->substr(0, prefix.size() + 1), prefix + "-");
}

INSTANTIATE_TEST_SUITE_P(Planted, TakenTempFolderTest, testing::ValuesIn(kTakenTemp),
                         [](const auto& info) { return std::string(info.param.name); });

// The writable-folder probe's name in the shared base belongs to whoever made it first; a
// folder of that name (which cannot be opened for writing even by root) must not matter.
TEST_F(ResolveFoldersTest, ProbeNameTakenInTheSharedTempBaseDoesNotStopTheStart) {
  ASSERT_EQ(mkdir((root_ / "test1324.fil").c_str(), 0755), 0);
  auto folders = Resolve();
  ASSERT_TRUE(folders.has_value());
  EXPECT_EQ(folders->temp, root_ / ("Pelrion-" + std::to_string(geteuid()) + "/"));
  EXPECT_TRUE(dialogs_.boxes.empty());
  EXPECT_TRUE(IsDir(root_ / "test1324.fil"));
}

TEST_F(ResolveFoldersTest, OwnTempFolderIsKeptAcrossStarts) {
  auto first = PrivateTempFolder(root_.path());
  ASSERT_TRUE(first.has_value());
  std::ofstream(*first + "left-over") << "x";
  EXPECT_EQ(PrivateTempFolder(root_.path() + "/"), first);
  EXPECT_TRUE(std::filesystem::exists(*first + "left-over"));
}

TEST_F(ResolveFoldersTest, LooseTempFolderModeIsTightened) {
  const std::string temp = root_ / ("Pelrion-" + std::to_string(geteuid()));
  ASSERT_EQ(mkdir(temp.c_str(), 0700), 0);
  ASSERT_EQ(chmod(temp.c_str(), 0777), 0);
  ASSERT_TRUE(Resolve().has_value());
  EXPECT_EQ(Mode(temp), 0700u);
}

}  // namespace
}  // namespace pelrion::platform
