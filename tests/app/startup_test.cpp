// The real executable, started headless in private XDG folders.
#include <signal.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/startup.h"
#include "pelrion_process.h"
#include "platform/registry.h"
#include "store/installation_id.h"
#include "support/files.h"

namespace pelrion::apptest {
namespace {

class PelrionStartupTest : public ::testing::Test {
 protected:
  std::string root_ = MakeTempRoot();
  SandboxHome home_{root_};

  std::string Log(const std::string& name) const { return root_ + "/" + name + ".stderr"; }

  std::string InstallationId() const {
    auto id = store::ParseIdentityFile(ReadFile(home_.DatabaseFolder() + "db6.dat"));
    return id.value_or("");
  }

  // Starts a copy, lets it finish start-up and ends it with SIGTERM.
  std::string RunOnce(const std::string& name) {
    PelrionProcess pelrion(home_, Log(name));
    EXPECT_TRUE(pelrion.WaitForOutput(std::string(app::kStageListeners))) << pelrion.Output();
    pelrion.Signal(SIGTERM);
    EXPECT_EQ(pelrion.Wait(), 0) << pelrion.Output();
    return pelrion.Output();
  }
};

TEST_F(PelrionStartupTest, ShowsEveryStageInOrderAndEndsCleanlyOnSigterm) {
  const std::string output = RunOnce("first");
  const std::vector<std::string_view> stages = {
      app::kStageDirectories, app::kStageSettings,     app::kStageCredentials,
      app::kStageAccounts,    app::kStageAddressLists, app::kStageMessages,
      app::kStageInitializing, app::kStageListeners};
  std::size_t last = 0;
  for (std::string_view stage : stages) {
    SCOPED_TRACE(std::string(stage));
    const std::size_t at = output.find(stage, last);
    ASSERT_NE(at, std::string::npos) << output;
    last = at + stage.size();
  }

  platform::FileRegistry registry(home_.RegistryFile());
  EXPECT_EQ(registry.GetString(platform::kProgramKey, "Db"), home_.DatabaseFolder());
  EXPECT_EQ(registry.GetNumber(platform::kProgramKey, "setonce"), 1u);
  EXPECT_EQ(InstallationId().substr(0, 3), "USR");

  // Settings stage: the built-in templates land in the documents folder. A headless copy
  // leaves the desktop session's autostart entry alone, whatever "autostart" says.
  for (const char* name : {"reply.txt", "captcha.txt", "reply.htm", "captcha.htm"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(ReadFile(root_ + "/docs/Pelrion/" + name).empty());
  }
  EXPECT_FALSE(test_support::FileExists(root_ + "/config/autostart/pelrion.desktop"));
}

TEST_F(PelrionStartupTest, AHeadlessCopyLeavesAnExistingAutostartEntryAsItIs) {
  mkdir((root_ + "/config/autostart").c_str(), 0700);
  const std::string entry = root_ + "/config/autostart/pelrion.desktop";
  WriteFile(entry, "[Desktop Entry]\nExec=/opt/elsewhere/pelrion\n");
  RunOnce("run");
  EXPECT_EQ(ReadFile(entry), "[Desktop Entry]\nExec=/opt/elsewhere/pelrion\n");
}

TEST_F(PelrionStartupTest, EndsOnSigintAsOnSigterm) {
  PelrionProcess pelrion(home_, Log("sigint"));
  ASSERT_TRUE(pelrion.WaitForOutput(std::string(app::kStageListeners))) << pelrion.Output();
  pelrion.Signal(SIGINT);
  EXPECT_EQ(pelrion.Wait(), 0) << pelrion.Output();
}

TEST_F(PelrionStartupTest, SecondCopyForTheSameUserEndsAtOnceWithOneLine) {
  PelrionProcess first(home_, Log("first"));
  ASSERT_TRUE(first.WaitForOutput(std::string(app::kStageDirectories))) << first.Output();

  PelrionProcess second(home_, Log("second"));
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_EQ(second.Output(), "Pelrion is already running.\n");

  first.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(), 0) << first.Output();
}

TEST_F(PelrionStartupTest, CopiesWithDifferentFoldersBothRun) {
  const std::string other_root = MakeTempRoot();
  SandboxHome other_home(other_root);
  PelrionProcess first(home_, Log("first"));
  PelrionProcess second(other_home, Log("second"));
  const std::string ready(app::kStageListeners);
  ASSERT_TRUE(first.WaitForOutput(ready)) << first.Output();
  ASSERT_TRUE(second.WaitForOutput(ready)) << second.Output();
  first.Signal(SIGTERM);
  second.Signal(SIGTERM);
  EXPECT_EQ(first.Wait(), 0);
  EXPECT_EQ(second.Wait(), 0);
}

TEST_F(PelrionStartupTest, FilesLeftInTheTempFolderAreGoneAfterStart) {
  mkdir(home_.TempFolder().c_str(), 0700);
  const std::string leftover = home_.TempFolder() + "P123.eml";
  WriteFile(leftover, "left by an earlier run");
  RunOnce("run");
  struct stat info;
  EXPECT_NE(stat(leftover.c_str(), &info), 0);
}

TEST_F(PelrionStartupTest, InstallationIdIsKeptWhileValidAndReplacedWhenDamaged) {
  RunOnce("first");
  const std::string first_id = InstallationId();
  ASSERT_FALSE(first_id.empty());

  RunOnce("second");
  EXPECT_EQ(InstallationId(), first_id);

  const std::string path = home_.DatabaseFolder() + "db6.dat";
  std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), 28u);
  bytes[20] ^= 0x01;  // inside the id: the digest no longer matches
  WriteFile(path, bytes);
  RunOnce("third");
  const std::string third_id = InstallationId();
  EXPECT_EQ(third_id.substr(0, 3), "USR");
  EXPECT_NE(third_id, first_id);
}

TEST_F(PelrionStartupTest, StoreFileErrorEndsThroughFatalStopLeavingEarlierDataIntact) {
  RunOnce("first");
  const std::string id_before = InstallationId();
  const std::string registry_before = ReadFile(home_.RegistryFile());

  // The identity file replaced by a directory cannot be opened as a file.
  const std::string db6 = home_.DatabaseFolder() + "db6.dat";
  ASSERT_EQ(remove(db6.c_str()), 0);
  ASSERT_EQ(mkdir(db6.c_str(), 0700), 0);

  PelrionProcess pelrion(home_, Log("fatal"));
  EXPECT_EQ(pelrion.Wait(), 1);
  const std::string output = pelrion.Output();
  EXPECT_NE(output.find("Critical error on database access."), std::string::npos) << output;
  EXPECT_EQ(output.find(app::kStageAccounts), std::string::npos) << output;
  EXPECT_EQ(ReadFile(home_.RegistryFile()), registry_before);
  EXPECT_FALSE(id_before.empty());
}

TEST_F(PelrionStartupTest, DatabaseValueNamingAMissingFolderFailsTheHeadlessStart) {
  {
    platform::FileRegistry registry(home_.RegistryFile());
    ASSERT_TRUE(registry.SetString(platform::kProgramKey, "Db", root_ + "/gone/"));
  }
  PelrionProcess pelrion(home_, Log("missing-db"));
  EXPECT_EQ(pelrion.Wait(), 1);
  const std::string output = pelrion.Output();
  EXPECT_NE(output.find("Failed to locate database."), std::string::npos) << output;
  EXPECT_EQ(output.find(app::kStageSettings), std::string::npos) << output;
}

}  // namespace
}  // namespace pelrion::apptest
