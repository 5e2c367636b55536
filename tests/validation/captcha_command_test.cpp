// `pelrion-msg captcha CODE OUT.gif`: the file it writes is the picture RenderCaptcha makes and
// giflib reads it; bad usage exits with 2, an unwritable file with 1.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "validation/captcha.h"
#include "validation/gif_test_helpers.h"

#ifndef PELRION_MSG_BIN
#error "PELRION_MSG_BIN must name the pelrion-msg executable"
#endif

namespace pelrion::validation {
namespace {

using test_support::ReadFile;
using test_support::RunResult;
using test_support::TempDir;

// Runs pelrion-msg with args (already quoted for the shell), standard error discarded.
RunResult RunTool(const std::string& args) {
  return test_support::RunCommand(std::string(PELRION_MSG_BIN) + " " + args + " 2>/dev/null");
}

struct WriteCase {
  const char* name;
  const char* code_argument;
  std::int32_t code;
};

class CaptchaCommandWriteTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(CaptchaCommandWriteTest, WritesTheRenderedPicture) {
  const WriteCase& c = GetParam();
  TempDir dir;
  const std::string out = dir / "code.gif";
  const RunResult run = RunTool(std::string("captcha ") + c.code_argument + " " + out);
  ASSERT_EQ(run.status, 0);

  const CaptchaImage image = RenderCaptcha(c.code);
  const std::string written = ReadFile(out);
  EXPECT_EQ(written, image.gif);
  const testing_gif::DecodedGif gif = testing_gif::DecodeWithGiflib(written);
  ASSERT_TRUE(gif.ok) << gif.error;
  EXPECT_EQ(gif.screen_width, static_cast<int>(image.width));
  EXPECT_EQ(gif.screen_height, static_cast<int>(image.height));
  EXPECT_EQ(gif.colour_table.size(), 2u);
  EXPECT_NE(run.out.find("\"width\":" + std::to_string(image.width)), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"height\":" + std::to_string(image.height)), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"bytes\":" + std::to_string(image.gif.size())), std::string::npos)
      << run.out;
}

INSTANTIATE_TEST_SUITE_P(Codes, CaptchaCommandWriteTest,
                         ::testing::ValuesIn(std::vector<WriteCase>{
                             {"SixDigits", "123456", 123456},
                             {"Zero", "0", 0},
                             {"Negative", "-42", -42},
                             {"Largest", "2147483647", 2147483647},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;
  const char* args;  // "OUT" stands for a file in the test's directory
  int status;
};

class CaptchaCommandRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(CaptchaCommandRefusalTest, ExitsWithoutWriting) {
  const RefusalCase& c = GetParam();
  TempDir dir;
  std::string args = c.args;
  for (std::size_t at; (at = args.find("OUT")) != std::string::npos;) {
    args.replace(at, 3, dir / "out.gif");
  }
  const RunResult run = RunTool("captcha " + args);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(std::ifstream(dir / "out.gif").good()) << "a file was written";
}

INSTANTIATE_TEST_SUITE_P(Arguments, CaptchaCommandRefusalTest,
                         ::testing::ValuesIn(std::vector<RefusalCase>{
                             {"NoArguments", "", 2},
                             {"CodeOnly", "123456", 2},
                             {"OneTooMany", "123456 OUT extra", 2},
                             {"NotANumber", "12a456 OUT", 2},
                             {"EmptyCode", "'' OUT", 2},
                             {"PlusSign", "+5 OUT", 2},
                             {"SpaceInCode", "'1 2' OUT", 2},
                             {"BeyondThirtyTwoBits", "2147483648 OUT", 2},
                             {"FolderMissing", "123456 OUT/missing/code.gif", 1},
                             {"OutIsAFolder", "123456 /", 1},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelrion::validation
