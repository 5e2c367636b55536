#include "platform/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/folders.h"
#include "platform/recording_dialogs.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace pelrion::platform {
namespace {

using test_support::ScopedEnv;
using test_support::TempDir;
using testing_support::RecordingDialogs;

// What a forked child gets when it tries to lock its own DataFolder in the environment given
// (XDG_RUNTIME_DIR set to a value, or unset): the child's exit code is the LockOutcome.
LockOutcome ChildLocksDataFolder(const std::optional<std::string>& runtime_dir) {
  const pid_t child = fork();
  if (child == 0) {
    if (runtime_dir) setenv("XDG_RUNTIME_DIR", runtime_dir->c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
    SingleInstance instance;
    _exit(static_cast<int>(instance.LockFolder(DataFolderPath())));
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  return static_cast<LockOutcome>(WEXITSTATUS(status));
}

TEST(SingleInstanceTest, SecondLockObjectIsRefusedUntilTheFirstGoes) {
  TempDir dir;
  const std::string folder = dir / "data/Pelrion/";
  std::optional<SingleInstance> first(std::in_place);
  ASSERT_EQ(first->LockFolder(folder), LockOutcome::kHeld);
  // Locking again through the same object, under another spelling, is a no-op.
  EXPECT_EQ(first->LockFolder(dir / "data/./Pelrion"), LockOutcome::kHeld);
  EXPECT_EQ(first->LockedFolders(), std::vector<std::string>{folder});
  struct stat st {};
  ASSERT_EQ(stat((folder + "pelrion.lock").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // Another open file description of the same file, even in this process, is refused.
  SingleInstance second;
  EXPECT_EQ(second.LockFolder(folder), LockOutcome::kTakenByAnother);
  // A moved-from object holds nothing; the lock goes with the object it moved to.
  SingleInstance moved(std::move(*first));
  first.reset();
  EXPECT_EQ(second.LockFolder(folder), LockOutcome::kTakenByAnother);
  moved = SingleInstance();
  EXPECT_EQ(second.LockFolder(folder), LockOutcome::kHeld);
}

// The fault this guards against: a copy started from a desktop session (XDG_RUNTIME_DIR
// set) and one from cron or ssh (unset) must see each other, in both orders.
TEST(SingleInstanceTest, CopiesInDifferentSessionsOfTheSameUserSeeEachOther) {
  TempDir dir;
  ScopedEnv data("XDG_DATA_HOME", dir / "data");
  const std::optional<std::string> kSessions[] = {dir / "run-a", std::nullopt, dir / "run-b"};
  for (const auto& first_session : kSessions) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", first_session);
    SingleInstance first;
    ASSERT_EQ(first.LockFolder(DataFolderPath()), LockOutcome::kHeld);
    for (const auto& second_session : kSessions) {
      EXPECT_EQ(ChildLocksDataFolder(second_session), LockOutcome::kTakenByAnother)
          << first_session.value_or("(unset)") << " / " << second_session.value_or("(unset)");
    }
  }
  // Once the holder has gone, a copy in any session runs.
  EXPECT_EQ(ChildLocksDataFolder(std::nullopt), LockOutcome::kHeld);
  EXPECT_FALSE(std::filesystem::exists(dir / "run-a/pelrion.lock"));
}

// A program the running copy launches (a viewer) must not inherit the lock descriptor and
// keep the lock after the copy has ended.
TEST(SingleInstanceTest, LockDescriptorIsClosedOnExec) {
  TempDir dir;
  SingleInstance instance;
  ASSERT_EQ(instance.LockFolder(dir.path()), LockOutcome::kHeld);
  const std::string lock_file = dir / "pelrion.lock";
  int found = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) != lock_file) continue;
    const int fd = std::stoi(entry.path().filename().string());
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ++found;
  }
  EXPECT_EQ(found, 1);
}

class LockFoldersTest : public testing::Test {
 protected:
  Folders WithDatabase(const std::string& data, const std::string& database) {
    Folders folders;
    folders.data = data;
    folders.database = database;
    std::filesystem::create_directories(data);
    std::filesystem::create_directories(database);
    return folders;
  }

  TempDir root_;
  RecordingDialogs dialogs_;
};

TEST_F(LockFoldersTest, DefaultDatabaseFolderNeedsNoLockOfItsOwn) {
  const Folders folders = WithDatabase(root_ / "data/", root_ / "data/Db/");
  SingleInstance instance;
  ASSERT_TRUE(LockFolders(instance, folders, dialogs_));
  EXPECT_EQ(instance.LockedFolders(), std::vector<std::string>{folders.data});
  EXPECT_FALSE(std::filesystem::exists(folders.database + "pelrion.lock"));
  EXPECT_TRUE(dialogs_.boxes.empty());
}

// Two users (or two XDG_DATA_HOMEs) whose "Db" names the same folder share the database.
TEST_F(LockFoldersTest, CopiesSharingAnotherDatabaseFolderSeeEachOther) {
  SingleInstance first;
  ASSERT_TRUE(LockFolders(first, WithDatabase(root_ / "one/", root_ / "shared-db/"), dialogs_));
  EXPECT_EQ(first.LockedFolders(),
            (std::vector<std::string>{root_ / "one/", root_ / "shared-db/"}));

  SingleInstance second;
  EXPECT_FALSE(LockFolders(second, WithDatabase(root_ / "two/", root_ / "shared-db"), dialogs_));
  EXPECT_TRUE(dialogs_.boxes.empty());  // a second copy ends silently
}

TEST_F(LockFoldersTest, UnusableLockFileStopsWithAMessage) {
  const Folders folders = WithDatabase(root_ / "data/", root_ / "data/Db/");
  std::filesystem::create_directory(folders.data + "pelrion.lock");  // a folder in its place
  SingleInstance instance;
  EXPECT_FALSE(LockFolders(instance, folders, dialogs_));
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_NE(dialogs_.boxes[0].text.find(folders.data + "pelrion.lock"), std::string::npos);
  EXPECT_EQ(dialogs_.boxes[0].caption, "Pelrion");
  EXPECT_TRUE(instance.LockedFolders().empty());
}

}  // namespace
}  // namespace pelrion::platform
