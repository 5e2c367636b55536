// The real executable as a command-line client and as the headless program that answers it.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "app/startup_stages.h"
#include "pelrion_process.h"
#include "support/files.h"

namespace pelrion::apptest {
namespace {

class PelrionCommandLineTest : public ::testing::Test {
 protected:
  std::string root_ = MakeTempRoot();
  SandboxHome home_{root_};

  std::string Log(const std::string& name) const { return root_ + "/" + name + ".stderr"; }
  std::string SocketPath() const { return root_ + "/runtime/pelrion/control"; }

  // Polls until the program answers commands (it is started and its start-up has ended).
  CommandOutcome WaitForAnswer(PelrionProcess& pelrion) {
    CommandOutcome outcome;
    for (int attempt = 0; attempt < 2000; ++attempt) {
      outcome = RunPelrionCommand(home_, {"status", "--json"});
      if (outcome.status != 3) return outcome;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the program never answered: " << pelrion.Output();
    return outcome;
  }
};

struct ClientCase {
  std::vector<std::string> args;
  int status;
  std::string out_holds;  // empty: standard output must be empty
  std::string err_holds;  // empty: standard error must be empty
};

// Nothing runs: what the client answers on its own.
TEST_F(PelrionCommandLineTest, WithoutARunningProgramTheClientAnswersAlone) {
  const std::vector<ClientCase> cases = {
      {{"--help"}, 0, "pelrion account add", ""},
      {{"--version"}, 0, "Pelrion 1.0\n", ""},
      {{"--bogus"}, 2, "", "unknown option '--bogus'"},
      {{"status"}, 3, "", "Pelrion is not running.\n"},
      {{"account", "list", "--bogus"}, 2, "", "usage"},
      {{"frobnicate"}, 2, "", "frobnicate"},
  };
  for (const ClientCase& c : cases) {
    SCOPED_TRACE(c.args.front());
    const CommandOutcome outcome = RunPelrionCommand(home_, c.args);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    if (c.out_holds.empty()) {
      EXPECT_EQ(outcome.out, "");
    } else {
      EXPECT_NE(outcome.out.find(c.out_holds), std::string::npos) << outcome.out;
    }
    if (c.err_holds.empty()) {
      EXPECT_EQ(outcome.err, "");
    } else {
      EXPECT_NE(outcome.err.find(c.err_holds), std::string::npos) << outcome.err;
    }
  }
  // Help and version start nothing: no data folder, no registry, no socket.
  EXPECT_FALSE(test_support::FileExists(home_.DataFolder()));
  EXPECT_FALSE(test_support::FileExists(home_.RegistryFile()));
  EXPECT_FALSE(test_support::FileExists(SocketPath()));
}

TEST_F(PelrionCommandLineTest, TheHelpListsEveryCommandAndTheRunOptions) {
  const CommandOutcome help = RunPelrionCommand(home_, {"--help"});
  for (const char* word :
       {"--headless", "--version", "account add", "account list", "account remove", "contact add",
        "contact list", "contact remove", "domain", "messages", "approve", "blacklist", "delete",
        "move", "empty-trash", "check", "offline", "status", "errors", "get", "set",
        "listener list", "listener start", "listener set", "stop"}) {
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  }
}

// First run: the hint names the command that adds an account; the program answers on its
// socket (0600 in a 0700 folder), "stop" ends it in order, and the next run gives no hint.
TEST_F(PelrionCommandLineTest, AHeadlessRunAnswersCommandsAndStopsOnStop) {
  {
    PelrionProcess pelrion(home_, Log("first"));
    const CommandOutcome status = WaitForAnswer(pelrion);
    ASSERT_EQ(status.status, 0) << status.err;
    const nlohmann::json state = nlohmann::json::parse(status.out);
    EXPECT_EQ(state["offline"], false);
    EXPECT_TRUE(state["listeners"].empty());
    EXPECT_NE(pelrion.Output().find(app::kFirstRunHint), std::string::npos) << pelrion.Output();

    struct stat info {};
    ASSERT_EQ(lstat(SocketPath().c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const CommandOutcome stop = RunPelrionCommand(home_, {"stop"});
    EXPECT_EQ(stop.status, 0) << stop.err;
    EXPECT_EQ(pelrion.Wait(), 0) << pelrion.Output();
    EXPECT_FALSE(test_support::FileExists(SocketPath()));
  }
  PelrionProcess again(home_, Log("second"));
  ASSERT_EQ(WaitForAnswer(again).status, 0);
  EXPECT_EQ(again.Output().find(app::kFirstRunHint), std::string::npos) << again.Output();
  EXPECT_EQ(RunPelrionCommand(home_, {"stop"}).status, 0);
  EXPECT_EQ(again.Wait(), 0) << again.Output();
}

// The offline switch outlives the program, and a check while offline is refused in one line
// instead of asking.
TEST_F(PelrionCommandLineTest, OfflineIsKeptAcrossRunsAndRefusesACheck) {
  {
    PelrionProcess pelrion(home_, Log("first"));
    ASSERT_EQ(WaitForAnswer(pelrion).status, 0);
    EXPECT_EQ(RunPelrionCommand(home_, {"offline", "on"}).status, 0);
    EXPECT_EQ(RunPelrionCommand(home_, {"stop"}).status, 0);
    EXPECT_EQ(pelrion.Wait(), 0) << pelrion.Output();
  }
  PelrionProcess pelrion(home_, Log("second"));
  const CommandOutcome status = WaitForAnswer(pelrion);
  ASSERT_EQ(status.status, 0);
  EXPECT_EQ(nlohmann::json::parse(status.out)["offline"], true);
  const CommandOutcome check = RunPelrionCommand(home_, {"check", "--wait"});
  EXPECT_NE(check.status, 0);
  EXPECT_EQ(std::count(check.err.begin(), check.err.end(), '\n') +
                std::count(check.out.begin(), check.out.end(), '\n'),
            1)
      << check.out << check.err;
  EXPECT_EQ(RunPelrionCommand(home_, {"stop"}).status, 0);
  EXPECT_EQ(pelrion.Wait(), 0) << pelrion.Output();
}

}  // namespace
}  // namespace pelrion::apptest
