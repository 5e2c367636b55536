// pelrion-msg analyse, run as a program over message files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/temp_dir.h"
#include "validation/arrival_test_helpers.h"
#include "validation/request_marks.h"

namespace pelrion::validation {
namespace {

using arrival_testing::Crlf;
using test_support::RunResult;

RunResult RunTool(std::vector<std::string> args) {
  args.insert(args.begin(), "analyse");
  return test_support::RunCommand(test_support::ShellCommand(PELRION_MSG_BIN, args) +
                                  " 2>/dev/null");
}

constexpr char kAddress[] = "john.doe@remote.example.com";

std::string RequestSubject() {
  return FormatSubjectTag("Lunch", kAddress, 12345);
}

struct ToolRow {
  std::string name;
  std::string message;               // LF line ends
  std::vector<std::string> options;  // after FILE
  std::vector<std::string> lines;    // JSON members that must appear, one per line
  std::vector<std::string> absent;   // keys that must not appear
};

void PrintTo(const ToolRow& row, std::ostream* out) {
  *out << row.name;
}

// True when `member` stands on a line of its own (the writer puts each member of the
// outermost object on one line, a comma after all but the last).
bool HasMemberLine(const std::string& json, const std::string& member) {
  for (const char* end : {",\n", "\n"}) {
    if (json.find("\n" + member + end) != std::string::npos) return true;
  }
  return false;
}

class AnalyseToolTest : public testing::TestWithParam<ToolRow> {
 protected:
  test_support::TempDir dir_;
};

TEST_P(AnalyseToolTest, PrintsWhatAnalysisFinds) {
  const ToolRow& row = GetParam();
  const std::string path = dir_ / "message.eml";
  std::ofstream(path, std::ios::binary) << Crlf(row.message);
  std::vector<std::string> args = {path};
  args.insert(args.end(), row.options.begin(), row.options.end());
  const RunResult result = RunTool(args);
  ASSERT_EQ(result.status, 0);
  for (const std::string& line : row.lines) {
    EXPECT_TRUE(HasMemberLine(result.out, line)) << "want line " << line << " in\n" << result.out;
  }
  for (const std::string& key : row.absent) {
    EXPECT_EQ(result.out.find("\"" + key + "\":"), std::string::npos) << key;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AnalyseToolTest,
    testing::Values(
        ToolRow{
            "OrdinaryMail",
            "From: \"Ann\" <Ann@Example.com>\nTo: Bob <b@example.org>, c@example.org\n"
            "Subject: =?utf-8?Q?Caf=C3=A9?=\nDate: Sat, 1 Jan 2000 00:00:00 +0000\n"
            "Message-ID: <1@example.com>\n\nhello\n",
            {},
            {"\"sender\":\"ann@example.com\"", "\"sender_name\":\"\\\"Ann\\\"\"",
             "\"sender_name_decoded\":\"Ann\"", "\"subject\":\"=?utf-8?Q?Caf=C3=A9?=\"",
             "\"subject_decoded\":\"Caf\\u00e9\"", "\"to\":\"Bob; c@example.org\"",
             "\"sent\":946684800", "\"received\":946684800", "\"message_id\":\"<1@example.com>\"",
             "\"is_dsn\":false", "\"is_auth_request\":false", "\"signed\":false",
             "\"check\":{\"kind\":\"reply\",\"consumed\":false}"},
            {"tag", "own_installation", "report_text"}},
        ToolRow{"ReplyToARequest",
                "From: " + std::string(kAddress) + "\nSubject: Re: " + RequestSubject() +
                    "\nReceived: by mx.example.org\n\nIt is me.\n",
                {},
                {"\"received\":-1",
                 "\"tag\":{\"present\":true,\"decoded\":true,\"address\":\"" +
                     std::string(kAddress) + "\",\"number\":12345}",
                 "\"check\":{\"kind\":\"reply\",\"consumed\":true,\"event\":"
                 "\"AuthorizationReplyReceived\",\"address\":\"" +
                     std::string(kAddress) + "\",\"number\":12345,\"text_length\":11}"},
                {}},
        ToolRow{"RelayedOwnMail",
                "From: jane@example.org\nSubject: Lunch\nX-KVX-Signature: " + SignSubject("Lunch") +
                    "\nX-KVX-UUID: USR0A1B2C3D\n\nhi\n",
                {"--installation-id", "USR0A1B2C3D"},
                {"\"signed\":true", "\"installation_mark\":\"USR0A1B2C3D\"",
                 "\"own_installation\":true"},
                {}},
        ToolRow{"MarkOfAnotherInstallation",
                "From: jane@example.org\nSubject: Lunch\nX-KVX-Signature: " + SignSubject("Lunch") +
                    "\nX-KVX-UUID: USR0A1B2C3D\n\nhi\n",
                {"--installation-id", "USRFFFFFFFF"},
                {"\"own_installation\":false"},
                {}},
        ToolRow{"AnotherInstallationsRequest",
                "From: x@example.net\nSubject: " + RequestSubject() + "\nX-KVX-Signature: " +
                    SignSubject(RequestSubject()) + "\nX-KVX-AuthReq: 1\n\nplease reply\n",
                {},
                {"\"is_auth_request\":true", "\"check\":{\"kind\":\"none\",\"consumed\":false}"},
                {}},
        ToolRow{"BounceOfARequest",
                "Return-Path: <>\nMIME-Version: 1.0\nContent-Type: multipart/report; "
                "report-type=delivery-status; boundary=b\n\n--b\nContent-Type: text/plain\n\n"
                "failed\n--b\nContent-Type: text/rfc822-headers\n\nSubject: " +
                    RequestSubject() + "\nX-KVX-AuthReq: 1\n--b--\n",
                {},
                {"\"is_dsn\":true", "\"returned_headers_found\":true", "\"report_text_used\":false",
                 "\"check\":{\"kind\":\"bounce\",\"consumed\":true,\"event\":\"RequestBounced\","
                 "\"address\":\"" +
                     std::string(kAddress) + "\",\"number\":12345}"},
                {"report_text"}}),
    [](const testing::TestParamInfo<ToolRow>& info) { return info.param.name; });

TEST(AnalyseToolUsageTest, RefusesBadUsageAndUnreadableMessages) {
  test_support::TempDir dir;
  const std::string unended = dir / "unended.eml";
  std::ofstream(unended, std::ios::binary) << "From: a@example.com\r\nSubject: no body\r\n";
  struct Row {
    const char* name;
    std::vector<std::string> args;
    int status;
  };
  const Row rows[] = {
      {"NoFile", {}, 2},
      {"IdWithoutValue", {unended, "--installation-id"}, 2},
      {"TwoFiles", {unended, unended}, 2},
      {"MissingFile", {dir / "absent.eml"}, 1},
      {"HeaderBlockNeverEnds", {unended}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const RunResult result = RunTool(row.args);
    EXPECT_EQ(result.status, row.status);
    EXPECT_TRUE(result.out.empty()) << result.out;
  }
}

}  // namespace
}  // namespace pelrion::validation
