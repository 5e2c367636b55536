#include "validation/authorization_request.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "mailformat/encoded_words.h"
#include "mailformat/header_block.h"
#include "mailformat/mail_date.h"
#include "mailformat/message_ids.h"
#include "platform/clock.h"
#include "platform/host_name.h"
#include "support/temp_dir.h"
#include "validation/captcha.h"
#include "validation/file_request_output.h"
#include "validation/request_marks.h"
#include "validation/request_test_helpers.h"

namespace pelrion::validation {
namespace {

using testing_support::Compose;
using testing_support::CrLfLines;
using testing_support::PreferencesWithBuiltInTemplates;
using testing_support::PreferencesWithTemplates;
using testing_support::ReaderPart;
using testing_support::ReaderView;
using testing_support::ReadWithPython;
using testing_support::Replaced;
using testing_support::SampleFacts;
using testing_support::TopHeader;
using testing_support::TopHeaderFields;

constexpr std::int64_t kPinnedNow = 1700000000;  // 2023-11-14 22:13:20 UTC
constexpr std::int32_t kCode = 654321;

// Small templates with LF line ends, as template files are held after loading.
constexpr const char* kReplyPlain =
    "Dear [REMOTE_USER_NAME] <[REMOTE_EMAIL]>,\n\n[LOCAL_USER_NAME] ([LOCAL_EMAIL]) asks you to "
    "reply.\n.\nThe line above is a full stop.\n";
constexpr const char* kReplyPlainFilled =
    "Dear Smith, John <john.smith@example.com>,\r\n\r\nJane Doe (jane@example.org) asks you to "
    "reply.\r\n.\r\nThe line above is a full stop.\r\n";
constexpr const char* kReplyHtml =
    "<html><body>\n<p>Dear [REMOTE_USER_NAME],</p>\n<p>reply to "
    "[LOCAL_EMAIL]</p>\n</body></html>\n";
constexpr const char* kReplyHtmlFilled =
    "<html><body>\r\n<p>Dear Smith, John,</p>\r\n<p>reply to jane@example.org</p>\r\n"
    "</body></html>\r\n";
constexpr const char* kCaptchaPlain = "Code for [REMOTE_EMAIL]: see the image [CAPTCHA_IMAGE]\n";
constexpr const char* kCaptchaPlainFilled =
    "Code for john.smith@example.com: see the image [CAPTCHA_IMAGE]\r\n";
constexpr const char* kCaptchaHtml =
    "<p>Your code: [CAPTCHA_IMAGE]</p>\n<p>[LOCAL_USER_NAME]</p>\n";

core::Preferences SmallTemplates() {
  return PreferencesWithTemplates(kReplyPlain, kReplyHtml, kCaptchaPlain, kCaptchaHtml);
}

class ComposerTest : public testing::Test {
 protected:
  void SetUp() override { platform::SetNowForTesting(kPinnedNow); }
  void TearDown() override { platform::SetNowForTesting(std::nullopt); }
};

void ExpectValidGif(const std::string& gif, const CaptchaImage& image) {
  ASSERT_GE(gif.size(), 14u);
  EXPECT_EQ(gif.substr(0, 6), "GIF89a");
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(gif[at]) |
                                      (static_cast<unsigned char>(gif[at + 1]) << 8));
  };
  EXPECT_EQ(u16(6), image.width);
  EXPECT_EQ(u16(8), image.height);
  EXPECT_EQ(gif.back(), '\x3B') << "a GIF ends with its trailer byte";
}

// ---------------------------------------------------------------------------------------
// Layouts as an independent reader sees them

TEST_F(ComposerTest, ReplyLayoutIsAnAlternativeOfTheFilledTemplates) {
  core::Preferences preferences = SmallTemplates();
  preferences.charset_reply = 17;   // utf-8
  preferences.charset_captcha = 6;  // koi8-r, must not be used
  preferences.method = 1;           // the code, not the setting, picks the layout
  const std::string request = Compose(SampleFacts(0), preferences);

  const ReaderView view = ReadWithPython(request);
  ASSERT_TRUE(view.ran);
  EXPECT_EQ(view.defects, 0);
  EXPECT_EQ(view.structure, "multipart/alternative(text/plain,text/html)");
  ASSERT_EQ(view.parts.size(), 2u);
  EXPECT_EQ(view.parts[0].charset, "utf-8");
  EXPECT_EQ(view.parts[0].body, kReplyPlainFilled);
  EXPECT_EQ(view.parts[1].charset, "utf-8");
  EXPECT_EQ(view.parts[1].body, kReplyHtmlFilled);
}

struct CaptchaRow {
  std::string name;
  std::string html_template;
  std::string html_filled;  // "{cid}" stands for the image's content id
  bool inline_image;
};

void PrintTo(const CaptchaRow& row, std::ostream* out) {
  *out << row.name;
}

class CaptchaLayoutTest : public ComposerTest, public testing::WithParamInterface<CaptchaRow> {};

TEST_P(CaptchaLayoutTest, NestsTheTextsAndAttachesTheImage) {
  const CaptchaRow& row = GetParam();
  core::Preferences preferences =
      PreferencesWithTemplates(kReplyPlain, kReplyHtml, kCaptchaPlain, row.html_template);
  preferences.charset_reply = 17;   // utf-8, must not be used
  preferences.charset_captcha = 6;  // koi8-r
  preferences.method = 0;
  const std::string request = Compose(SampleFacts(kCode), preferences);

  const ReaderView view = ReadWithPython(request);
  ASSERT_TRUE(view.ran);
  EXPECT_EQ(view.defects, 0);
  const std::string alternative = row.inline_image
                                      ? "multipart/alternative(text/plain,text/html,image/gif)"
                                      : "multipart/alternative(text/plain,text/html)";
  EXPECT_EQ(view.structure, "multipart/mixed(multipart/related(" + alternative + "),image/gif)");
  ASSERT_EQ(view.parts.size(), row.inline_image ? 4u : 3u);

  const ReaderPart& plain = view.parts[0];
  const ReaderPart& html = view.parts[1];
  const ReaderPart& attachment = view.parts.back();
  EXPECT_EQ(plain.charset, "koi8-r");
  EXPECT_EQ(plain.body, kCaptchaPlainFilled);
  EXPECT_EQ(html.charset, "koi8-r");

  const CaptchaImage image = RenderCaptcha(kCode);
  ExpectValidGif(attachment.body, image);
  EXPECT_EQ(attachment.body, image.gif);
  EXPECT_EQ(attachment.disposition, "attachment");
  EXPECT_EQ(attachment.filename, "Authorization Code.gif");

  std::string content_id;
  if (row.inline_image) {
    const ReaderPart& inline_image = view.parts[2];
    EXPECT_EQ(inline_image.type, "image/gif");
    EXPECT_EQ(inline_image.disposition, "inline");
    EXPECT_EQ(inline_image.body, attachment.body);
    ASSERT_EQ(inline_image.content_id.size(), 13u);  // "<IMG" 8 hex digits ">"
    EXPECT_EQ(inline_image.content_id.substr(0, 4), "<IMG");
    EXPECT_EQ(inline_image.content_id.back(), '>');
    content_id = inline_image.content_id.substr(1, 11);
  }
  EXPECT_EQ(html.body, Replaced(row.html_filled, "{cid}", content_id));

  const std::string code_text = std::to_string(kCode);
  for (const ReaderPart* text : {&plain, &html}) {
    EXPECT_EQ(text->body.find(code_text), std::string::npos) << "the code is shown only as image";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CaptchaLayoutTest,
    testing::Values(
        CaptchaRow{"ImageInHtml", kCaptchaHtml,
                   "<p>Your code: <IMG src=\"cid:{cid}\"></p>\r\n<p>Jane Doe</p>\r\n", true},
        CaptchaRow{"ImageTwiceInHtml", "[CAPTCHA_IMAGE] and [CAPTCHA_IMAGE]",
                   "<IMG src=\"cid:{cid}\"> and <IMG src=\"cid:{cid}\">", true},
        CaptchaRow{"NoImageInHtml", "<p>No picture for [LOCAL_USER_NAME]</p>\n",
                   "<p>No picture for Jane Doe</p>\r\n", false},
        CaptchaRow{"PlaceholderWithOtherCase", "[captcha_image]\n", "[captcha_image]\r\n", false}),
    [](const testing::TestParamInfo<CaptchaRow>& info) { return info.param.name; });

TEST_F(ComposerTest, BuiltInTemplatesKeepTheirLineEndsAndShowTheImageInline) {
  const core::Preferences preferences = PreferencesWithBuiltInTemplates();
  struct Row {
    const char* name;
    std::int32_t code;
    std::size_t plain_index;
    const char* structure;
  };
  const Row rows[] = {
      {"Reply", 0, 0, "multipart/alternative(text/plain,text/html)"},
      {"Captcha", kCode, 1,
       "multipart/mixed(multipart/related(multipart/alternative(text/plain,text/html,image/gif)),"
       "image/gif)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ReaderView view = ReadWithPython(Compose(SampleFacts(row.code), preferences));
    ASSERT_TRUE(view.ran);
    EXPECT_EQ(view.defects, 0);
    EXPECT_EQ(view.structure, row.structure);
    ASSERT_GE(view.parts.size(), 2u);
    EXPECT_EQ(view.parts[0].body, Replaced(preferences.template_texts[row.plain_index][0],
                                           "[LOCAL_USER_NAME]", "Jane Doe"));
    EXPECT_EQ(view.parts[0].charset, "iso-8859-1");
  }
}

TEST_F(ComposerTest, TemplateLineEndsBecomeCrLfAndALoneCarriageReturnStays) {
  struct Row {
    const char* name;
    const char* plain;
    const char* want;
  };
  const Row rows[] = {
      {"LineFeeds", "a\nb\n", "a\r\nb\r\n"},     {"AlreadyCrLf", "a\r\nb\r\n", "a\r\nb\r\n"},
      {"Mixed", "a\r\nb\nc", "a\r\nb\r\nc"},     {"LoneCarriageReturn", "a\rb\n", "a\rb\r\n"},
      {"LeadingLineFeed", "\n\nx", "\r\n\r\nx"}, {"EmptyTemplate", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const ReaderView view = ReadWithPython(
        Compose(SampleFacts(0), PreferencesWithTemplates(row.plain, "<p>x</p>", "", "")));
    ASSERT_TRUE(view.ran);
    ASSERT_EQ(view.parts.size(), 2u);
    EXPECT_EQ(view.parts[0].body, row.want);
  }
}

// ---------------------------------------------------------------------------------------
// Header fields

TEST_F(ComposerTest, WritesTheHeaderFieldsInOrderAndNothingElse) {
  for (std::int32_t code : {0, kCode}) {
    SCOPED_TRACE(code);
    const std::string request = Compose(SampleFacts(code), SmallTemplates());
    std::vector<std::string> names;
    for (const auto& field : TopHeaderFields(request)) names.push_back(field.first);
    EXPECT_EQ(names, (std::vector<std::string>{"Date", "From", "To", "Subject", "X-KVX-Signature",
                                               "Message-id", "X-KVX-AuthReq", "MIME-Version",
                                               "Content-Type"}));
    EXPECT_EQ(TopHeader(request, "Date"), mailformat::FormatMailDate(kPinnedNow));
    EXPECT_EQ(TopHeader(request, "X-KVX-AuthReq"), "1");
    EXPECT_EQ(TopHeader(request, "MIME-Version"), "1.0");
    EXPECT_EQ(TopHeader(request, "From"), "Pelrion <jane@example.org>");
    EXPECT_EQ(TopHeader(request, "To"), "\"Smith, John\" <john.smith@example.com>");
  }
}

TEST_F(ComposerTest, SignatureCoversTheSubjectLine) {
  const std::string request = Compose(SampleFacts(0), SmallTemplates());
  const std::string subject = TopHeader(request, "Subject");
  const std::string signature = TopHeader(request, "X-KVX-Signature");
  EXPECT_EQ(subject, "Re: Lunch on Friday [Sender-ID=" + SenderIdToken("john.smith@example.com") +
                         "-12345]");
  EXPECT_TRUE(VerifySignature(subject, signature));
  std::string changed = subject;
  changed[5] = 'X';
  EXPECT_FALSE(VerifySignature(changed, signature));

  const SenderIdTag tag = ParseSenderIdTag(subject);
  EXPECT_TRUE(tag.decoded);
  EXPECT_EQ(tag.address, "john.smith@example.com");
  EXPECT_EQ(tag.number, 12345u);
}

TEST_F(ComposerTest, MessageIdHasTheProgramsFormAndDiffersPerRequest) {
  const std::string first = Compose(SampleFacts(0), SmallTemplates());
  const std::string second = Compose(SampleFacts(0), SmallTemplates());
  char now_hex[9];
  std::snprintf(now_hex, sizeof now_hex, "%08X", static_cast<unsigned>(kPinnedNow));
  for (const std::string* request : {&first, &second}) {
    const std::string id = TopHeader(*request, "Message-id");
    const std::string signature = TopHeader(*request, "X-KVX-Signature");
    EXPECT_TRUE(mailformat::IsOwnMessageId(id)) << id;
    const mailformat::DottedPairs pairs = mailformat::SplitDottedPairs(id);
    EXPECT_EQ(pairs.names, (std::vector<std::string>{"R", "S"}));
    EXPECT_EQ(pairs.values, (std::vector<std::string>{"", signature.substr(0, 22)}));
    // After the pairs: eight hex digits of a random value, eight of the time, the host.
    const std::string prefix = "<KVX.R.S-" + signature.substr(0, 22) + ".";
    const std::string suffix = std::string(now_hex) + "@" + platform::HostName() + ">";
    ASSERT_EQ(id.size(), prefix.size() + 8 + suffix.size()) << id;
    EXPECT_EQ(id.substr(0, prefix.size()), prefix);
    EXPECT_EQ(id.substr(prefix.size() + 8), suffix);
    EXPECT_EQ(id.substr(prefix.size(), 8).find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_TRUE(VerifySignature(TopHeader(*request, "Subject"), pairs.values[1] + "=="));
  }
  EXPECT_NE(TopHeader(first, "Message-id"), TopHeader(second, "Message-id"));
  EXPECT_EQ(TopHeader(first, "Subject"), TopHeader(second, "Subject"));
}

struct SubjectRow {
  std::string name;
  std::size_t tag_length_wanted;  // length the full tag would have; 0: a short subject
  bool shortened;
};

void PrintTo(const SubjectRow& row, std::ostream* out) {
  *out << row.name;
}

class SubjectLengthTest : public ComposerTest, public testing::WithParamInterface<SubjectRow> {};

TEST_P(SubjectLengthTest, LongTagsAreMadeFromEightyCharacters) {
  RequestFacts facts = SampleFacts(0);
  const std::size_t overhead = FormatSubjectTag("", facts.sender_address, 12345).size();
  const std::size_t subject_length =
      GetParam().tag_length_wanted == 0 ? 20 : GetParam().tag_length_wanted - overhead;
  facts.subject.clear();
  for (std::size_t i = 0; i < subject_length; ++i) facts.subject += static_cast<char>('a' + i % 26);

  const std::string request = Compose(facts, SmallTemplates());
  const std::string subject = TopHeader(request, "Subject");
  const std::string shown =
      GetParam().shortened ? facts.subject.substr(0, 80) + "..." : facts.subject;
  EXPECT_EQ(subject,
            "Re: " + shown + " [Sender-ID=" + SenderIdToken(facts.sender_address) + "-12345]");
  EXPECT_EQ(RequestSubject(facts), subject);
  EXPECT_TRUE(VerifySignature(subject, TopHeader(request, "X-KVX-Signature")));
  EXPECT_FALSE(VerifySignature("Re: " + facts.subject, TopHeader(request, "X-KVX-Signature")));
}

INSTANTIATE_TEST_SUITE_P(Rows, SubjectLengthTest,
                         testing::Values(SubjectRow{"Short", 0, false},
                                         SubjectRow{"TagOneBelowTheLimit", 989, false},
                                         SubjectRow{"TagAtTheLimit", 990, true},
                                         SubjectRow{"ThousandCharacterSubject", 1000 + 53, true}),
                         [](const testing::TestParamInfo<SubjectRow>& info) {
                           return info.param.name;
                         });

TEST_F(ComposerTest, ToFieldKeepsTheNameAsWrittenOrShowsTheBareAddress) {
  struct Row {
    const char* name;
    std::string sender_name;
    std::string want;
  };
  // "To: " + name + " <" + the 22-byte address + ">" is 29 bytes plus the name.
  const std::string longest_name(998 - 29, 'n');
  const Row rows[] = {
      {"EmptyName", "", "john.smith@example.com"},
      {"NameFillingTheLongestLine", longest_name, longest_name + " <john.smith@example.com>"},
      // One byte more would break the line limit: the name is left out.
      {"NameTooLongForOneLine", longest_name + "n", "john.smith@example.com"},
      {"QuotedName", "\"Smith, John\"", "\"Smith, John\" <john.smith@example.com>"},
      {"EncodedName",
       "=?iso-8859-1?Q?J=F6rg?=", "=?iso-8859-1?Q?J=F6rg?= <john.smith@example.com>"},
      {"PlainName", "John", "John <john.smith@example.com>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RequestFacts facts = SampleFacts(0);
    facts.sender_name = row.sender_name;
    EXPECT_EQ(TopHeader(Compose(facts, SmallTemplates()), "To"), row.want);
  }
}

TEST_F(ComposerTest, FromFieldFollowsTheFromSetting) {
  struct Row {
    const char* name;
    std::uint32_t from;
    const char* user_name;
    const char* want;
  };
  const Row rows[] = {
      {"Program", 0, "Jane Doe", "Pelrion <jane@example.org>"},
      {"UserQuoted", 1, "Jane Doe", "\"Jane Doe\" <jane@example.org>"},
      {"UserOneWord", 1, "Jane", "Jane <jane@example.org>"},
      {"UserWithQuoteAndComma", 1, "Doe, \"JD\"", "\"Doe, \\\"JD\\\"\" <jane@example.org>"},
      {"OnBehalf", 2, "Jane Doe", "\"Pelrion on behalf of Jane Doe\" <jane@example.org>"},
      {"OutOfRangeAsProgram", 3, "Jane Doe", "Pelrion <jane@example.org>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    core::Preferences preferences = SmallTemplates();
    preferences.from = row.from;
    RequestFacts facts = SampleFacts(0);
    facts.user_name = row.user_name;
    EXPECT_EQ(TopHeader(Compose(facts, preferences), "From"), row.want);
  }
}

TEST_F(ComposerTest, EightBitOnBehalfNameIsOneEncodedWord) {
  core::Preferences preferences = SmallTemplates();
  preferences.from = 2;
  RequestFacts facts = SampleFacts(0);
  facts.user_name = "J\xF6rg M\xFCller";
  const std::string from = TopHeader(Compose(facts, preferences), "From");
  const std::string suffix = " <jane@example.org>";
  ASSERT_GT(from.size(), suffix.size());
  EXPECT_EQ(from.substr(from.size() - suffix.size()), suffix);
  const std::string name = from.substr(0, from.size() - suffix.size());
  // One word "=?charset?B?payload?=" has exactly four question marks and no blank.
  std::vector<std::string> pieces(1);
  for (char c : name) {
    if (c == '?') {
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  ASSERT_EQ(pieces.size(), 5u) << "one word for the whole phrase: " << name;
  EXPECT_EQ(pieces[0], "=");
  EXPECT_EQ(pieces[2], "B");
  EXPECT_EQ(pieces[3].find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
            std::string::npos);
  EXPECT_EQ(pieces[4], "=");
  EXPECT_EQ(mailformat::DecodeHeaderText(name), "Pelrion on behalf of J\xF6rg M\xFCller");
}

TEST_F(ComposerTest, LineBreaksFromReceivedTextStayInsideTheirHeaderLine) {
  struct Row {
    const char* name;
    const char* subject;
    const char* sender_name;
    const char* user_name;
  };
  const Row rows[] = {
      {"SubjectCrLf", "Hi\r\nBcc: victim@example.net", "John", "Jane"},
      {"SubjectBareLineFeedAndDot", "Hi\n.\nQUIT", "John", "Jane"},
      {"SenderNameLineFeed", "Hi", "John\nBcc: victim@example.net", "Jane"},
      {"UserNameCarriageReturn", "Hi", "John", "Jane\rBcc: victim@example.net"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    core::Preferences preferences = SmallTemplates();
    preferences.from = 1;
    RequestFacts facts = SampleFacts(0);
    facts.subject = row.subject;
    facts.sender_name = row.sender_name;
    facts.user_name = row.user_name;
    const std::string request = Compose(facts, preferences);
    std::vector<std::string> names;
    for (const auto& field : TopHeaderFields(request)) names.push_back(field.first);
    EXPECT_EQ(names.size(), 9u);
    for (const std::string& line : CrLfLines(request)) {
      EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    }
    const std::string subject = TopHeader(request, "Subject");
    EXPECT_TRUE(VerifySignature(subject, TopHeader(request, "X-KVX-Signature")));
    EXPECT_TRUE(ParseSenderIdTag(subject).decoded);
  }
}

// ---------------------------------------------------------------------------------------
// Values from the received message are text in the HTML part, never markup

struct HtmlValueRow {
  std::string name;
  std::string sender_name;  // decoded, as the received From gave it
  std::string sender_address;
  std::string user_name;
  std::string html_want;  // what the HTML template "[REMOTE_USER_NAME]|..." becomes
};

void PrintTo(const HtmlValueRow& row, std::ostream* out) {
  *out << row.name;
}

class HtmlValueTest : public ComposerTest, public testing::WithParamInterface<HtmlValueRow> {};

TEST_P(HtmlValueTest, HtmlPartEscapesThePlainPartKeepsTheBytes) {
  const HtmlValueRow& row = GetParam();
  constexpr const char* kValues =
      "[REMOTE_USER_NAME]|[REMOTE_EMAIL]|[LOCAL_USER_NAME]|[LOCAL_EMAIL]";
  const std::string plain_want =
      row.sender_name + "|" + row.sender_address + "|" + row.user_name + "|jane@example.org";
  for (const std::int32_t code : {0, kCode}) {
    SCOPED_TRACE(code == 0 ? "Reply" : "Captcha");
    RequestFacts facts = SampleFacts(code);
    facts.sender_name_decoded = row.sender_name;
    facts.sender_address = row.sender_address;
    facts.user_name = row.user_name;
    const core::Preferences preferences =
        PreferencesWithTemplates(kValues, std::string("<b>") + kValues + "</b>", kValues,
                                 std::string("<b>") + kValues + "</b>");
    const ReaderView view = ReadWithPython(Compose(facts, preferences));
    ASSERT_TRUE(view.ran);
    ASSERT_GE(view.parts.size(), 2u);
    EXPECT_EQ(view.parts[0].type, "text/plain");
    EXPECT_EQ(view.parts[0].body, plain_want);
    EXPECT_EQ(view.parts[1].type, "text/html");
    EXPECT_EQ(view.parts[1].body, "<b>" + row.html_want + "</b>");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HtmlValueTest,
    testing::Values(
        HtmlValueRow{"ScriptInTheName", "<script>alert(1)</script>", "a@example.com", "Jane",
                     "&lt;script&gt;alert(1)&lt;/script&gt;|a@example.com|Jane|jane@example.org"},
        HtmlValueRow{"AmpersandAndQuotes", "Tom & \"Jerry\"", "a@example.com", "Jane",
                     "Tom &amp; &quot;Jerry&quot;|a@example.com|Jane|jane@example.org"},
        HtmlValueRow{"AlreadyEscapedTextIsEscapedAgain", "&lt;b&gt;", "a@example.com", "Jane",
                     "&amp;lt;b&amp;gt;|a@example.com|Jane|jane@example.org"},
        HtmlValueRow{"LinkInTheAddress", "John", "\"<a href=x>\"@example.com", "Jane",
                     "John|&quot;&lt;a href=x&gt;&quot;@example.com|Jane|jane@example.org"},
        HtmlValueRow{"UsersOwnNameIsEscapedToo", "John", "a@example.com", "Ben & <Jerry>",
                     "John|a@example.com|Ben &amp; &lt;Jerry&gt;|jane@example.org"},
        HtmlValueRow{"ApostropheAndEightBitStay", "O'Neil J\xF6rg", "a@example.com", "Jane",
                     "O'Neil J\xF6rg|a@example.com|Jane|jane@example.org"}),
    [](const testing::TestParamInfo<HtmlValueRow>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// Line rules of the whole text

TEST_F(ComposerTest, NoLineStartsWithAFullStopOrExceedsTheLineLimit) {
  const std::string long_line(300, 'w');
  const core::Preferences preferences =
      PreferencesWithTemplates(".start\n..\n" + long_line + "\n. \n", ".<p>" + long_line + "</p>\n",
                               ".code\n" + long_line + "\n", "[CAPTCHA_IMAGE]\n.\n" + long_line);
  RequestFacts long_subject = SampleFacts(0);
  long_subject.subject = std::string(1000, 's');
  struct Row {
    const char* name;
    RequestFacts facts;
    const core::Preferences* preferences;
  };
  const core::Preferences built_in = PreferencesWithBuiltInTemplates();
  const Row rows[] = {
      {"Reply", SampleFacts(0), &preferences},
      {"Captcha", SampleFacts(kCode), &preferences},
      {"LongSubject", long_subject, &preferences},
      {"BuiltInReply", SampleFacts(0), &built_in},
      {"BuiltInCaptcha", SampleFacts(kCode), &built_in},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string request = Compose(row.facts, *row.preferences);
    ASSERT_GE(request.size(), 2u);
    EXPECT_EQ(request.substr(request.size() - 2), "\r\n");
    for (const std::string& line : CrLfLines(request)) {
      EXPECT_FALSE(!line.empty() && line[0] == '.') << line;
      EXPECT_LE(line.size(), 998u);
      EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "bare line end in: " << line;
    }
  }
}

struct LongFieldRow {
  std::string name;
  std::string sender_address;
  std::string sender_name;
  std::string subject;
};

void PrintTo(const LongFieldRow& row, std::ostream* out) {
  *out << row.name;
}

class LongFieldTest : public ComposerTest, public testing::WithParamInterface<LongFieldRow> {};

// The Subject as a receiver reads it: the header block unfolded.
std::string UnfoldedSubject(const std::string& request) {
  std::string block = request.substr(0, request.find("\r\n\r\n") + 2);
  mailformat::UnfoldHeaderBlock(block);
  return mailformat::FindHeader(mailformat::SplitHeaderBlock(block), "Subject", true)
      .value_or(std::string());
}

TEST_P(LongFieldTest, EveryLineFitsAndTheFoldedSubjectReadsBack) {
  const LongFieldRow& row = GetParam();
  for (const std::int32_t code : {0, kCode}) {
    SCOPED_TRACE(code == 0 ? "Reply" : "Captcha");
    RequestFacts facts = SampleFacts(code);
    facts.sender_address = row.sender_address;
    facts.sender_name = row.sender_name;
    facts.subject = row.subject;
    const std::string request = Compose(facts, PreferencesWithBuiltInTemplates());
    for (const std::string& line : CrLfLines(request)) {
      EXPECT_LE(line.size(), 998u) << line.substr(0, 40);
    }
    const std::string subject = UnfoldedSubject(request);
    EXPECT_EQ(subject, RequestSubject(facts));
    EXPECT_TRUE(VerifySignature(subject, TopHeader(request, "X-KVX-Signature")));
    const SenderIdTag tag = ParseSenderIdTag(subject);
    ASSERT_TRUE(tag.decoded);
    EXPECT_EQ(tag.address, row.sender_address);
    EXPECT_EQ(tag.number, 12345u);
  }
}

std::string LongAddress(std::size_t length) {
  const std::string domain = "@example.com";
  return std::string(length - domain.size(), 'a') + domain;
}

std::string Words(std::size_t count, std::string_view word) {
  std::string out;
  for (std::size_t i = 0; i < count; ++i) out += (i == 0 ? "" : " ") + std::string(word);
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LongFieldTest,
    testing::Values(
        LongFieldRow{"ShortEverything", "john.smith@example.com", "John", "Hello"},
        // The tag of a 700-byte address alone passes the limit once shortened.
        LongFieldRow{"AddressOf700", LongAddress(700), "John", "Hello"},
        LongFieldRow{"AddressOf990WithLongSubject", LongAddress(990), "John", Words(200, "word")},
        LongFieldRow{"AddressOf990WithOneHugeWordSubject", LongAddress(990), "John",
                     std::string(2000, 'x')},
        LongFieldRow{"LongNameIsLeftOutOfTo", LongAddress(500), std::string(900, 'n'), "Hello"},
        LongFieldRow{"LongSubjectShortAddress", "john.smith@example.com", "John",
                     Words(300, "subject")}),
    [](const testing::TestParamInfo<LongFieldRow>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// Pieces

TEST(FillPlaceholders, ReplacesEachPlaceholderInItsOrder) {
  RequestFacts facts = SampleFacts(0);
  struct Row {
    const char* name;
    const char* user_name;
    const char* text;
    const char* want;
  };
  const Row rows[] = {
      {"AllFour", "Jane Doe", "[LOCAL_USER_NAME]|[LOCAL_EMAIL]|[REMOTE_USER_NAME]|[REMOTE_EMAIL]",
       "Jane Doe|jane@example.org|Smith, John|john.smith@example.com"},
      {"EveryOccurrence", "Jane", "[LOCAL_USER_NAME][LOCAL_USER_NAME] [LOCAL_USER_NAME]",
       "JaneJane Jane"},
      {"NoPlaceholders", "Jane", "plain text [OTHER]", "plain text [OTHER]"},
      {"OtherCaseUntouched", "Jane", "[local_user_name]", "[local_user_name]"},
      {"CaptchaImageLeft", "Jane", "[CAPTCHA_IMAGE]", "[CAPTCHA_IMAGE]"},
      {"NameHoldingItsOwnPlaceholder", "[LOCAL_USER_NAME]!", "<[LOCAL_USER_NAME]>",
       "<[LOCAL_USER_NAME]!>"},
      // The later passes run over text the earlier ones inserted.
      {"LaterPassSeesEarlierText", "[REMOTE_EMAIL]", "[LOCAL_USER_NAME]", "john.smith@example.com"},
      {"EarlierPassDoesNotSeeLaterText", "x", "[REMOTE_USER_NAME]", "Smith, John"},
      {"Empty", "Jane", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    facts.user_name = row.user_name;
    EXPECT_EQ(FillPlaceholders(row.text, facts), row.want);
  }
}

TEST(RequestFactsOf, TakesTheSummaryStringsTheRequestFieldsAndTheAccountNames) {
  store::MessageRecord message;
  message.request_number = 54321;
  message.authorization_code = 123456;
  message.summary.set_sender_address("a@b.example");
  message.summary.set_sender_name("=?x?Q?A?=");
  message.summary.set_sender_name_decoded("A");
  message.summary.set_subject("=?x?Q?S?=");
  message.summary.set_subject_decoded("S");
  message.summary.set_from_text("from text");
  store::MailAccount account;
  account.email_address.Set("me@home.example");
  account.display_name.Set("Me Myself");
  account.friendly_name.Set("Home account");
  account.pop3_user_name.Set("login");

  const RequestFacts facts = RequestFactsOf(message, account);
  EXPECT_EQ(facts.sender_address, "a@b.example");
  EXPECT_EQ(facts.sender_name, "=?x?Q?A?=");
  EXPECT_EQ(facts.sender_name_decoded, "A");
  EXPECT_EQ(facts.subject, "=?x?Q?S?=");
  EXPECT_EQ(facts.request_number, 54321);
  EXPECT_EQ(facts.authorization_code, 123456);
  EXPECT_EQ(facts.user_email, "me@home.example");
  EXPECT_EQ(facts.user_name, "Me Myself");
}

TEST(FileRequestOutput, WritesEveryPieceOrReportsTheFailureAtClose) {
  test_support::TempDir dir;
  struct Row {
    const char* name;
    std::string path;
    bool ok;
  };
  const Row rows[] = {
      {"NewFile", dir / "request.eml", true},
      {"MissingFolder", dir / "missing/request.eml", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FileRequestOutput output(row.path);
    output.Write("Subject: x\r\n");
    output.Write("");
    output.Write("\r\nbody\r\n");
    EXPECT_EQ(output.Close(), row.ok);
    EXPECT_EQ(output.Close(), row.ok) << "closing twice keeps the verdict";
    std::FILE* file = std::fopen(row.path.c_str(), "rb");
    if (!row.ok) {
      EXPECT_EQ(file, nullptr);
      continue;
    }
    ASSERT_NE(file, nullptr);
    char buffer[64];
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
    std::fclose(file);
    EXPECT_EQ(std::string(buffer, got), "Subject: x\r\n\r\nbody\r\n");
  }
}

}  // namespace
}  // namespace pelrion::validation
