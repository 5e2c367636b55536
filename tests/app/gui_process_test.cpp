// The real executable as the desktop program on the offscreen screen: it starts with its main
// window, answers the command line, ends in order on SIGTERM and keeps its window layout.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
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
    // (No std::regex: GCC 12 warns inside <regex> in the sanitizer build, where warnings are
    // errors.)
    const std::string text = ReadFile(home_.RegistryFile());
    const std::string key = "\"" + name + "\"=hex:";
    const std::size_t start = text.find(key);
    if (start == std::string::npos) return -1;
    // The bytes run on over continuation lines ("\" and an indented next line).
    constexpr std::string_view kHexText = "0123456789abcdef,\\ \t\r\n";
    const std::size_t first = start + key.size();
    std::size_t end = first;
    while (end < text.size() && kHexText.find(text[end]) != std::string_view::npos) ++end;
    const std::string_view bytes(text.data() + first, end - first);
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
