#include "core/templates.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/default_templates.h"
#include "core/preferences.h"
#include "platform/dialogs.h"
#include "support/files.h"

namespace pelrion::core {
namespace {

namespace fs = std::filesystem;

using test_support::ReadFile;
using test_support::WriteFile;

class RecordingDialogs : public platform::Dialogs {
 public:
  platform::DialogAnswer MessageBox(std::string_view text, std::string_view caption,
                                    platform::DialogIcon, platform::DialogButtons) override {
    texts.emplace_back(text);
    captions.emplace_back(caption);
    return platform::DialogAnswer::kOk;
  }
  std::optional<std::string> ChooseFolder(std::string_view) override { return std::nullopt; }
  void ShowStatus(std::string_view) override {}
  void ShowStartupStage(std::string_view) override {}

  std::vector<std::string> texts;
  std::vector<std::string> captions;
};

// A private folder (ending in '/') and a recording dialogs port for each test.
class TemplateFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "pelrion-templates-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern + "/";
    platform::SetDialogs(&dialogs_);
  }
  void TearDown() override {
    platform::SetDialogs(nullptr);
    fs::remove_all(folder_);
  }

  std::string folder_;
  RecordingDialogs dialogs_;
};

struct ReadCase {
  const char* name;
  std::string content;
  std::optional<std::string> want_text;  // nullopt: refused with want_reason
  std::string_view want_reason;
};

std::string Repeat(char c, std::size_t n) {
  return std::string(n, c);
}

const ReadCase kReadCases[] = {
    {"PlainLf", "line one\nline two\n", "line one\nline two\n", {}},
    {"CrLfBecomesLf", "line one\r\nline two\r\n", "line one\nline two\n", {}},
    {"LoneCrStays", "a\rb\r\nc\r", "a\rb\nc\r", {}},
    {"CrCrLfKeepsFirstCr", "a\r\r\nb", "a\r\nb", {}},
    {"OneByte", "x", "x", {}},
    {"HighBytesKept", "caf\xE9\r\n", "caf\xE9\n", {}},
    {"ExactlyMaximumSize", Repeat('a', 65536), Repeat('a', 65536), {}},
    {"OneByteTooLarge", Repeat('a', 65537), std::nullopt, kFileIsTooLarge},
    {"Empty", "", std::nullopt, kFileIsEmpty},
    {"ZeroByteInText", std::string("Hello\0world\r\n", 13), std::nullopt, kNotATextFile},
    {"ZeroByteAtEnd", std::string("Hello world\0", 12), std::nullopt, kNotATextFile},
    {"OnlyZeroByte", std::string(1, '\0'), std::nullopt, kNotATextFile},
};

TEST_F(TemplateFileTest, ReadsOrRefusesFileContent) {
  for (const ReadCase& row : kReadCases) {
    SCOPED_TRACE(row.name);
    const std::string path = folder_ + row.name + ".txt";
    WriteFile(path, row.content);
    const TemplateFileResult got = ReadTemplateFile(path);
    if (row.want_text) {
      ASSERT_TRUE(got.text.has_value()) << "refused with: " << got.reason;
      EXPECT_EQ(*got.text, *row.want_text);
    } else {
      EXPECT_FALSE(got.text.has_value());
      EXPECT_EQ(got.reason, row.want_reason);
    }
  }
  EXPECT_TRUE(dialogs_.texts.empty()) << "reading alone must not show anything";
}

TEST_F(TemplateFileTest, FileSystemErrorsCarryTheSystemText) {
  struct Row {
    const char* name;
    std::string path;
    std::string want_reason;
  };
  const Row rows[] = {
      {"Missing", folder_ + "missing.txt", "No such file or directory"},
      {"MissingFolder", folder_ + "nowhere/reply.txt", "No such file or directory"},
      {"Directory", folder_, "Is a directory"},
      {"PathThroughAFile", folder_ + "plain/reply.txt", "Not a directory"},
  };
  WriteFile(folder_ + "plain", "text");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const TemplateFileResult got = ReadTemplateFile(row.path);
    EXPECT_FALSE(got.text.has_value());
    EXPECT_EQ(got.reason, row.want_reason);
  }
}

TEST_F(TemplateFileTest, NonRegularFileIsRefusedWithoutBlocking) {
  const std::string path = folder_ + "fifo";
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  const TemplateFileResult got = ReadTemplateFile(path);
  EXPECT_FALSE(got.text.has_value());
  EXPECT_EQ(got.reason, kFileReadFailure);
}

TEST_F(TemplateFileTest, LoadShowsTheReasonOnFailureOnly) {
  const std::string good = folder_ + "good.txt";
  const std::string empty = folder_ + "empty.txt";
  const std::string missing = folder_ + "missing.txt";
  WriteFile(good, "Hi\r\n");
  WriteFile(empty, "");

  EXPECT_EQ(LoadTemplateFile(good), std::optional<std::string>("Hi\n"));
  EXPECT_TRUE(dialogs_.texts.empty());

  EXPECT_EQ(LoadTemplateFile(empty), std::nullopt);
  EXPECT_EQ(LoadTemplateFile(missing), std::nullopt);
  ASSERT_EQ(dialogs_.texts.size(), 2u);
  EXPECT_EQ(dialogs_.texts[0], "Failed to load template from file " + empty + ":\nFile is empty");
  EXPECT_EQ(dialogs_.texts[1],
            "Failed to load template from file " + missing + ":\nNo such file or directory");
  EXPECT_EQ(dialogs_.captions[0], "Pelrion");
}

TEST(TemplateCarriageReturns, OnlyPairsLoseTheirCr) {
  struct Row {
    const char* name;
    std::string_view in;
    std::string_view want;
  };
  const Row rows[] = {
      {"Empty", "", ""},        {"LoneCrAtEnd", "a\r", "a\r"},    {"CrLfAtStart", "\r\nx", "\nx"},
      {"LfCr", "\n\r", "\n\r"}, {"TwoPairs", "\r\n\r\n", "\n\n"}, {"CrCrLf", "\r\r\n", "\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DropCarriageReturnsBeforeLineFeeds(row.in), row.want);
  }
}

struct InstallCase {
  const char* name;
  ValidationMethod method;
  TemplateKind kind;
  const char* file_name;
};

const InstallCase kInstallCases[] = {
    {"ReplyPlain", ValidationMethod::kReply, TemplateKind::kPlainText, "reply.txt"},
    {"ReplyHtml", ValidationMethod::kReply, TemplateKind::kHtml, "reply.htm"},
    {"CaptchaPlain", ValidationMethod::kCaptcha, TemplateKind::kPlainText, "captcha.txt"},
    {"CaptchaHtml", ValidationMethod::kCaptcha, TemplateKind::kHtml, "captcha.htm"},
};

TEST_F(TemplateFileTest, InstallDefaultWritesFileAndPointsThePreferenceThere) {
  for (const InstallCase& row : kInstallCases) {
    SCOPED_TRACE(row.name);
    const std::string path = folder_ + row.file_name;
    WriteFile(path, Repeat('z', 200000));  // an older, longer file is replaced whole
    Preferences preferences;
    CharsetIndex(preferences, row.method) = 3;
    TemplateFileName(preferences, row.method, row.kind) = "/elsewhere/old.txt";

    EXPECT_TRUE(InstallDefaultTemplate(preferences, folder_, row.method, row.kind));

    const std::string_view builtin = DefaultTemplateText(row.method, row.kind);
    EXPECT_EQ(ReadFile(path), builtin);
    EXPECT_EQ(TemplateFileName(preferences, row.method, row.kind), path);
    EXPECT_EQ(TemplateText(preferences, row.method, row.kind), builtin);
    EXPECT_EQ(CharsetIndex(preferences, row.method), 20u);
    // The other method is untouched.
    const ValidationMethod other = row.method == ValidationMethod::kReply
                                       ? ValidationMethod::kCaptcha
                                       : ValidationMethod::kReply;
    EXPECT_TRUE(TemplateText(preferences, other, row.kind).empty());
  }
}

TEST_F(TemplateFileTest, InstallDefaultIntoUnwritableFolderKeepsBuiltinText) {
  const std::string missing_folder = folder_ + "not-there/";
  for (const InstallCase& row : kInstallCases) {
    SCOPED_TRACE(row.name);
    Preferences preferences;
    CharsetIndex(preferences, row.method) = 5;
    TemplateFileName(preferences, row.method, row.kind) = "/elsewhere/old.txt";

    EXPECT_FALSE(InstallDefaultTemplate(preferences, missing_folder, row.method, row.kind));

    EXPECT_EQ(TemplateFileName(preferences, row.method, row.kind), "");
    EXPECT_EQ(TemplateText(preferences, row.method, row.kind),
              DefaultTemplateText(row.method, row.kind));
    EXPECT_EQ(CharsetIndex(preferences, row.method), 20u);
  }
  EXPECT_FALSE(fs::exists(missing_folder));
}

// The built-in plain texts, line by line.
const std::vector<std::string_view> kReplyPlainLines = {
    "You are receiving this message because of a message you sent to [LOCAL_USER_NAME].",
    "",
    "[LOCAL_USER_NAME] is protected by Pelrion. As such he/she only accepts e-mail from "
    "authenticated users. This is to insure that messages from automated spammers cannot get "
    "through.",
    "",
    "In order for your message to be delivered, you will need to reply to this message. You "
    "will only need to do this once.",
    "",
    "Please follow the instructions below:",
    "",
    "In your e-mail program",
    "",
    "1. Click Reply.",
    "2. Click Send.",
    "",
    "Note: Please do not alter the Sender-ID block, enclosed between brackets '[' and ']' in the "
    "e-mail subject.",
    "",
    "Online Help is available at: https://www.pelrion.org/help/reply.html.",
    "",
    "Pelrion",
    "https://www.pelrion.org/",
};

const std::vector<std::string_view> kCaptchaPlainLines = {
    "You are receiving this message because of a message you sent to [LOCAL_USER_NAME].",
    "",
    "[LOCAL_USER_NAME] is protected by Pelrion. As such he/she only accepts e-mail from "
    "authenticated users. This is to insure that messages from automated spammers cannot get "
    "through.",
    "",
    "In order for your message to be delivered, you will need to authorize yourself. You will "
    "only need to do this once.",
    "",
    "Please follow the instructions below:",
    "",
    "In your e-mail program",
    "",
    "1. Open the attachment named 'Authorization Code.gif'. It contains a 6-digit "
    "Authorization Code.",
    "2. Click Reply.",
    "3. Type the Authorization Code in the reply message body.",
    "4. Click Send.",
    "",
    "Note: Please do not alter the Sender-ID block, enclosed between brackets '[' and ']' in the "
    "e-mail subject.",
    "",
    "Online Help is available at: https://www.pelrion.org/help/captcha.html.",
    "",
    "Pelrion",
    "https://www.pelrion.org/",
};

// Splits at CR LF; a bare CR or LF stays inside its line so it shows up as a difference.
std::vector<std::string> SplitCrLf(std::string_view text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      return lines;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 2;
  }
}

TEST(DefaultTemplates, PlainTextsMatchTheirLines) {
  struct Row {
    const char* name;
    ValidationMethod method;
    const std::vector<std::string_view>& lines;
  };
  const Row rows[] = {
      {"Reply", ValidationMethod::kReply, kReplyPlainLines},
      {"Captcha", ValidationMethod::kCaptcha, kCaptchaPlainLines},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string_view text = DefaultTemplateText(row.method, TemplateKind::kPlainText);
    // The last line is followed by two CR LF: two empty pieces after the split.
    std::vector<std::string_view> want = row.lines;
    want.insert(want.end(), {"", ""});
    const std::vector<std::string> got = SplitCrLf(text);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(got[i], want[i]) << "line " << i + 1;
    }
  }
}

// The visible text of an HTML body: tags dropped, &nbsp; and line breaks as blanks,
// runs of blanks as one.
std::string VisibleText(std::string_view html) {
  std::string raw;
  bool in_tag = false;
  for (std::size_t i = 0; i < html.size(); ++i) {
    const char c = html[i];
    if (c == '<') {
      in_tag = true;
    } else if (c == '>') {
      in_tag = false;
      raw += ' ';
    } else if (!in_tag) {
      if (html.substr(i, 6) == "&nbsp;") {
        raw += ' ';
        i += 5;
      } else {
        raw += (c == '\r' || c == '\n') ? ' ' : c;
      }
    }
  }
  std::string collapsed;
  for (const char c : raw) {
    if (c == ' ' && (collapsed.empty() || collapsed.back() == ' ')) continue;
    collapsed += c;
  }
  return collapsed;
}

std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + what.size())) {
    ++n;
  }
  return n;
}

TEST(DefaultTemplates, HtmlDocumentsCarryTheSameParagraphs) {
  struct Row {
    const char* name;
    ValidationMethod method;
    std::string_view help_link;
    std::vector<std::string_view> visible;  // in this order
    bool has_code_image;
  };
  const Row rows[] = {
      {"Reply",
       ValidationMethod::kReply,
       "<A\r\nhref=\"https://www.pelrion.org/help/reply.html\">here</A>",
       {kReplyPlainLines[0], kReplyPlainLines[2], kReplyPlainLines[4], kReplyPlainLines[6],
        kReplyPlainLines[8], "1. Click Reply. 2. Click Send.", kReplyPlainLines[13],
        "Online Help is available here .", "Pelrion https://www.pelrion.org/"},
       false},
      {"Captcha",
       ValidationMethod::kCaptcha,
       "<A\r\nhref=\"https://www.pelrion.org/help/captcha.html\">here</A>",
       {kCaptchaPlainLines[0], kCaptchaPlainLines[2], kCaptchaPlainLines[4], kCaptchaPlainLines[6],
        kCaptchaPlainLines[8],
        "1. Click Reply. 2. Type the Authorization Code in the reply message body. 3. Click "
        "Send. Your Authorization Code: [CAPTCHA_IMAGE] (If the image is not shown, open the "
        "attachment named 'Authorization Code.gif'.)",
        kCaptchaPlainLines[15], "Online Help is available here .",
        "Pelrion https://www.pelrion.org/"},
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string_view html = DefaultTemplateText(row.method, TemplateKind::kHtml);
    EXPECT_TRUE(
        html.starts_with("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"));
    EXPECT_NE(html.find("content=\"text/html; charset=iso-8859-1\""), std::string_view::npos);
    EXPECT_NE(html.find("<STYLE></STYLE>"), std::string_view::npos);
    EXPECT_NE(html.find("<FONT face=\"Courier New\" size=2>"), std::string_view::npos);
    EXPECT_NE(html.find(row.help_link), std::string_view::npos);
    EXPECT_NE(html.find("<A\r\nhref=\"https://www.pelrion.org/\">"), std::string_view::npos);
    EXPECT_EQ(Count(html, "[CAPTCHA_IMAGE]"), row.has_code_image ? 1u : 0u);
    EXPECT_EQ(Count(html, "<DIV>"), Count(html, "</DIV>"));

    // Source lines are CR LF terminated and wrapped at 80 characters.
    const std::vector<std::string> lines = SplitCrLf(html);
    EXPECT_EQ(lines.back(), "") << "the document ends with CR LF";
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_LE(lines[i].size(), 80u) << "line " << i + 1;
      EXPECT_EQ(lines[i].find_first_of("\r\n"), std::string::npos) << "line " << i + 1;
    }

    // Paragraphs come in order, one DIV each, separated by a DIV holding a blank.
    const std::string visible = VisibleText(html.substr(html.find("<BODY>")));
    std::size_t at = 0;
    for (const std::string_view paragraph : row.visible) {
      const std::size_t found = visible.find(paragraph, at);
      ASSERT_NE(found, std::string::npos) << "missing or out of order: " << paragraph;
      at = found + paragraph.size();
    }
    EXPECT_EQ(Count(html, "<DIV>&nbsp;</DIV>"), row.visible.size() - 1);
  }
}

TEST(DefaultTemplates, FileNames) {
  for (const InstallCase& row : kInstallCases) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DefaultTemplateFileName(row.method, row.kind), row.file_name);
  }
}

}  // namespace
}  // namespace pelrion::core
