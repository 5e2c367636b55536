#include "validation/preview_request.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/random.h"
#include "support/files.h"
#include "support/temp_dir.h"
#include "validation/captcha.h"
#include "validation/pending_sender_list.h"
#include "validation/request_marks.h"
#include "validation/request_test_helpers.h"

namespace pelrion::validation {
namespace {

using testing_support::PreferencesWithBuiltInTemplates;
using testing_support::ReaderView;
using testing_support::ReadWithPython;
using testing_support::TopHeader;

using test_support::ReadFile;
using test_support::WriteFile;

struct PreviewRow {
  const char* name;
  std::uint32_t method;
  std::uint32_t from;
  const char* want_from;
  const char* want_structure;
};

void PrintTo(const PreviewRow& row, std::ostream* out) {
  *out << row.name;
}

class PreviewTest : public testing::TestWithParam<PreviewRow> {};

TEST_P(PreviewTest, WritesTheSampleRequestWithThePagesSettings) {
  const PreviewRow& row = GetParam();
  test_support::TempDir dir;
  core::Preferences page = PreferencesWithBuiltInTemplates();
  page.method = row.method;
  page.from = row.from;
  page.charset_reply = 17;
  page.charset_captcha = 6;

  constexpr std::uint32_t kSeed = 4242;
  // The same draws in the same order: request fields first, then the file number.
  platform::SeedRand(kSeed);
  const RequestFields want_fields = DrawRequestFields(core::SelectedMethod(page));
  const std::string want_path = dir.path() + "/P" + std::to_string(platform::Rand()) + ".eml";

  platform::SeedRand(kSeed);
  const std::optional<std::string> path = PreviewAuthorizationRequest(page, dir.path() + "/");
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(*path, want_path);

  const std::string request = ReadFile(*path);
  EXPECT_EQ(TopHeader(request, "From"), row.want_from);
  EXPECT_EQ(TopHeader(request, "To"), "John Smith <john.smith@example.org>");
  const std::string subject = TopHeader(request, "Subject");
  EXPECT_EQ(subject.rfind("Re: Preview [Sender-ID=", 0), 0u) << subject;
  const SenderIdTag tag = ParseSenderIdTag(subject);
  EXPECT_TRUE(tag.decoded);
  EXPECT_EQ(tag.address, "john.smith@example.org");
  EXPECT_EQ(tag.number, static_cast<std::uint32_t>(want_fields.request_number));
  EXPECT_GE(tag.number, 10000u);
  EXPECT_LE(tag.number, 99999u);

  const ReaderView view = ReadWithPython(request);
  ASSERT_TRUE(view.ran);
  EXPECT_EQ(view.defects, 0);
  EXPECT_EQ(view.structure, row.want_structure);
  ASSERT_GE(view.parts.size(), 2u);
  EXPECT_EQ(view.parts[0].charset, row.method == 1 ? "koi8-r" : "utf-8");
  EXPECT_NE(view.parts[0].body.find("Jane Smith"), std::string::npos);
  if (row.method == 1) {
    ASSERT_NE(want_fields.authorization_code, 0);
    EXPECT_EQ(view.parts.back().body, RenderCaptcha(want_fields.authorization_code).gif);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PreviewTest,
    testing::Values(
        PreviewRow{"Reply", 0, 0, "Pelrion <jane.smith@example.com>",
                   "multipart/alternative(text/plain,text/html)"},
        PreviewRow{"ReplyOnBehalf", 0, 2,
                   "\"Pelrion on behalf of Jane Smith\" <jane.smith@example.com>",
                   "multipart/alternative(text/plain,text/html)"},
        PreviewRow{"Captcha", 1, 1, "\"Jane Smith\" <jane.smith@example.com>",
                   "multipart/mixed(multipart/related(multipart/alternative(text/plain,text/html,"
                   "image/gif)),image/gif)"}),
    [](const testing::TestParamInfo<PreviewRow>& info) { return info.param.name; });

TEST(PreviewAuthorizationRequest, NeverWritesThroughANameAlreadyTaken) {
  test_support::TempDir dir;
  const core::Preferences page = PreferencesWithBuiltInTemplates();
  constexpr std::uint32_t kSeed = 99;
  platform::SeedRand(kSeed);
  DrawRequestFields(core::SelectedMethod(page));
  const std::string taken = dir.path() + "/P" + std::to_string(platform::Rand()) + ".eml";
  WriteFile(dir.path() + "/planted", "keep me");
  ASSERT_EQ(::symlink((dir.path() + "/planted").c_str(), taken.c_str()), 0);

  platform::SeedRand(kSeed);
  const std::optional<std::string> path = PreviewAuthorizationRequest(page, dir.path() + "/");
  ASSERT_TRUE(path.has_value());
  EXPECT_NE(*path, taken);
  EXPECT_EQ(ReadFile(dir.path() + "/planted"), "keep me");
  EXPECT_EQ(TopHeader(ReadFile(*path), "To"), "John Smith <john.smith@example.org>");
}

TEST(PreviewAuthorizationRequest, ReportsAFolderItCannotWriteTo) {
  test_support::TempDir dir;
  EXPECT_FALSE(
      PreviewAuthorizationRequest(PreferencesWithBuiltInTemplates(), dir / "missing/").has_value());
}

}  // namespace
}  // namespace pelrion::validation
