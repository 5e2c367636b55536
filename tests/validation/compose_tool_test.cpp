// pelrion-msg compose, run as a program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "validation/captcha.h"
#include "validation/request_marks.h"
#include "validation/request_test_helpers.h"

namespace pelrion::validation {
namespace {

using testing_support::ReaderView;
using testing_support::ReadWithPython;
using testing_support::TopHeader;

using test_support::ReadFile;
using test_support::RunResult;

RunResult RunCompose(std::vector<std::string> args) {
  args.insert(args.begin(), "compose");
  return test_support::RunCommand(test_support::ShellCommand(PELRION_MSG_BIN, args) +
                                  " 2>/dev/null");
}

std::vector<std::string> Arguments(const std::string& method, const std::string& out) {
  return {"--method",     method,      "--to",     "ann@example.net", "--name",
          "\"Lee, Ann\"", "--subject", "Tickets",  "--user-email",    "me@example.org",
          "--user-name",  "Me Too",    "--number", "12345",           out};
}

TEST(ComposeTool, WritesEachLayout) {
  test_support::TempDir dir;
  struct Row {
    const char* name;
    std::vector<std::string> extra;
    const char* method;
    const char* structure;
    std::int32_t code;  // -1: drawn by the tool
  };
  const Row rows[] = {
      {"Reply", {}, "reply", "multipart/alternative(text/plain,text/html)", 0},
      {"CaptchaWithCode",
       {"--code", "271828"},
       "captcha",
       "multipart/mixed(multipart/related(multipart/alternative(text/plain,text/html,image/gif)),"
       "image/gif)",
       271828},
      {"CaptchaDrawsACode",
       {},
       "captcha",
       "multipart/mixed(multipart/related(multipart/alternative(text/plain,text/html,image/gif)),"
       "image/gif)",
       -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string out = dir / (std::string(row.name) + ".eml");
    std::vector<std::string> args = Arguments(row.method, out);
    args.insert(args.begin(), row.extra.begin(), row.extra.end());
    const RunResult run = RunCompose(args);
    ASSERT_EQ(run.status, 0);

    const std::string request = ReadFile(out);
    const std::string subject = TopHeader(request, "Subject");
    EXPECT_EQ(subject, FormatSubjectTag("Tickets", "ann@example.net", 12345));
    EXPECT_EQ(TopHeader(request, "To"), "\"Lee, Ann\" <ann@example.net>");
    EXPECT_EQ(TopHeader(request, "From"), "Pelrion <me@example.org>");
    EXPECT_TRUE(VerifySignature(subject, TopHeader(request, "X-KVX-Signature")));
    EXPECT_NE(run.out.find("\"signature\":\"" + TopHeader(request, "X-KVX-Signature") + "\""),
              std::string::npos)
        << run.out;

    const ReaderView view = ReadWithPython(request);
    ASSERT_TRUE(view.ran);
    EXPECT_EQ(view.defects, 0);
    EXPECT_EQ(view.structure, row.structure);
    ASSERT_GE(view.parts.size(), 2u);
    // [REMOTE_USER_NAME] is not in the built-in texts; the user's name is.
    EXPECT_NE(view.parts[0].body.find("Me Too"), std::string::npos);
    if (row.code > 0) {
      EXPECT_EQ(view.parts.back().body, RenderCaptcha(row.code).gif);
      EXPECT_NE(run.out.find("\"code\":" + std::to_string(row.code)), std::string::npos);
    }
    if (row.code < 0) {
      EXPECT_EQ(view.parts.back().body.substr(0, 6), "GIF89a");
      EXPECT_EQ(run.out.find("\"code\":0"), std::string::npos) << run.out;
    }
  }
}

TEST(ComposeTool, RefusesBadArguments) {
  test_support::TempDir dir;
  const std::string out = dir / "request.eml";
  auto with = [&](const std::string& option, const std::string& value) {
    std::vector<std::string> args = Arguments("reply", out);
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
      if (args[i] == option) args[i + 1] = value;
    }
    return args;
  };
  auto without = [&](const std::string& option) {
    std::vector<std::string> args = Arguments("reply", out);
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
      if (args[i] == option) args.erase(args.begin() + i, args.begin() + i + 2);
    }
    return args;
  };
  std::vector<std::string> reply_with_code = Arguments("reply", out);
  reply_with_code.insert(reply_with_code.begin(), {"--code", "123456"});
  std::vector<std::string> captcha_code_zero = Arguments("captcha", out);
  captcha_code_zero.insert(captcha_code_zero.begin(), {"--code", "0"});
  std::vector<std::string> no_out = Arguments("reply", out);
  no_out.pop_back();
  std::vector<std::string> two_outs = Arguments("reply", out);
  two_outs.push_back(out + "2");
  std::vector<std::string> unknown = Arguments("reply", out);
  unknown.insert(unknown.begin(), {"--bcc", "x@y"});
  std::vector<std::string> dangling = Arguments("reply", out);
  dangling.pop_back();
  dangling.push_back("--code");

  struct Row {
    const char* name;
    std::vector<std::string> args;
    int status;
  };
  const Row rows[] = {
      {"UnknownMethod", with("--method", "captha"), 2},
      {"NumberZero", with("--number", "0"), 2},
      {"NumberNotDecimal", with("--number", "12a"), 2},
      {"NumberNegative", with("--number", "-5"), 2},
      {"MissingTo", without("--to"), 2},
      {"MissingSubject", without("--subject"), 2},
      {"ReplyWithCode", reply_with_code, 2},
      {"CaptchaCodeZero", captcha_code_zero, 2},
      {"NoOutputFile", no_out, 2},
      {"TwoOutputFiles", two_outs, 2},
      {"UnknownOption", unknown, 2},
      {"OptionWithoutValue", dangling, 2},
      {"UnwritableOutput", Arguments("reply", dir / "missing/request.eml"), 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(RunCompose(row.args).status, row.status);
    EXPECT_TRUE(ReadFile(out).empty()) << "nothing is written on a usage error";
  }
}

}  // namespace
}  // namespace pelrion::validation
