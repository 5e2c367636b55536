#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/folders.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace pelrion::platform {
namespace {

using test_support::ScopedEnv;
using test_support::TempDir;

TEST(SingleInstanceTest, SecondAcquireFailsUntilTheFirstIsReleased) {
  TempDir dir;
  const std::string path = dir / "run/pelrion.lock";
  auto first = SingleInstance::Acquire(path);
  ASSERT_NE(first, nullptr);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Another open file description of the same file, even in this process, is refused.
  EXPECT_EQ(SingleInstance::Acquire(path), nullptr);
  first.reset();
  EXPECT_NE(SingleInstance::Acquire(path), nullptr);
}

// Exit code of a forked child that tries to take the lock: 0 taken, 1 refused.
int ChildAcquire(const std::string& path) {
  const pid_t child = fork();
  if (child == 0) _exit(SingleInstance::Acquire(path) ? 0 : 1);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SingleInstanceTest, AnotherProcessCannotTakeIt) {
  TempDir dir;
  const std::string path = dir / "pelrion.lock";
  {
    auto held = SingleInstance::Acquire(path);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(ChildAcquire(path), 1);
  }
  EXPECT_EQ(ChildAcquire(path), 0);
}

TEST(SingleInstanceTest, UnopenableLockFileFails) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir / "a-folder").c_str(), 0700), 0);
  EXPECT_EQ(SingleInstance::Acquire(dir / "a-folder"), nullptr);
}

TEST(SingleInstanceTest, DefaultPathPrefersTheRuntimeFolder) {
  {
    ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
    EXPECT_EQ(SingleInstance::DefaultLockPath(), "/run/user/1000/pelrion.lock");
  }
  ScopedEnv runtime("XDG_RUNTIME_DIR", std::nullopt);
  ScopedEnv data("XDG_DATA_HOME", "/home/u/data");
  EXPECT_EQ(SingleInstance::DefaultLockPath(), "/home/u/data/Pelrion/pelrion.lock");
  EXPECT_EQ(SingleInstance::DefaultLockPath(), DataFolderPath() + "pelrion.lock");
}

}  // namespace
}  // namespace pelrion::platform
