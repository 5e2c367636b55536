// The real executable as the desktop program on the offscreen screen: it starts with its main
// window, answers the command line, ends in order on SIGTERM and keeps its window layout.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <thread>

#include "pelrion_process.h"
#include "support/files.h"

namespace pelrion::apptest {
namespace {

class GuiProcessTest : public ::testing::Test {
 protected:
  std::string root_ = MakeTempRoot();
  SandboxHome home_{root_};

  std::string Log(const std::string& name) const { return root_ + "/" + name + ".stderr"; }

  // Polls until the program answers commands (its start-up has ended).
  bool Answers(PelrionProcess& pelrion) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
      const CommandOutcome outcome = RunPelrionCommand(home_, {"status", "--json"});
      if (outcome.status == 0) return nlohmann::json::parse(outcome.out).contains("offline");
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the program never answered: " << pelrion.Output();
    return false;
  }

  // The bytes of a binary registry value as the settings file shows them; -1 when absent.
  int BinaryValueSize(const std::string& name) {
    const std::string text = ReadFile(home_.RegistryFile());
    std::smatch found;
    if (!std::regex_search(text, found, std::regex("\"" + name + "\"=hex:([0-9a-f,\\\\\\s]*)"))) {
      return -1;
    }
    const std::string bytes = found[1];
    return static_cast<int>(std::count(bytes.begin(), bytes.end(), ',')) + 1;
  }
};

// The first run shows its window and greeting, the second starts in the tray (or, with no
// tray on the offscreen screen, shown); both end with exit code 0 on SIGTERM and leave the
// layout records behind.
TEST_F(GuiProcessTest, StartsAnswersAndEndsOnSigtermTwice) {
  for (const char* run : {"first", "second"}) {
    PelrionProcess pelrion(home_, Log(run), /*headless=*/false);
    ASSERT_TRUE(Answers(pelrion)) << run;
    pelrion.Signal(SIGTERM);
    EXPECT_EQ(pelrion.Wait(), 0) << run << ": " << pelrion.Output();
    EXPECT_EQ(BinaryValueSize("Main Frame"), 28) << run;
    EXPECT_GT(BinaryValueSize("CoolBarState"), 28) << run;
  }
}

}  // namespace
}  // namespace pelrion::apptest
