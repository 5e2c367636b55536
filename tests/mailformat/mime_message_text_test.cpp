// ReadMessageText and ReadInnerHeaders over scanned messages.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mailformat/base64.h"
#include "mailformat/header_block.h"
#include "mailformat/message_text.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/quoted_printable.h"
#include "mime_test_helpers.h"
#include "platform/random.h"

namespace pelrion::mailformat {
namespace {

using mimetest::Crlf;

class MessageTextTest : public testing::Test {
 protected:
  mimetest::TempDir dir_;
};

TEST_F(MessageTextTest, ReadsTheFirstTextPartOfTheTextRun) {
  const std::string text = mimetest::RandomTextLines(41, 6000);
  const std::string html = Crlf("<p>html</p>\n");
  struct Row {
    const char* name;
    std::string message;
    std::string want;  // before the limit
  };
  const std::vector<Row> rows = {
      {"plain message: segment 0",
       Crlf("Subject: x\n\n") + text + "begin 644 a\r\n#86)C\r\n`\r\nend\r\nafter\r\n", text},
      {"single-part MIME", Crlf("MIME-Version: 1.0\n\n") + text, text},
      {"quoted-printable decoded",
       Crlf("MIME-Version: 1.0\nContent-Transfer-Encoding: quoted-printable\n\n") +
           QuotedPrintableEncode(text),
       text},
      {"base64 decoded",
       Crlf("MIME-Version: 1.0\nContent-Transfer-Encoding: base64\n\n") + Base64EncodeLines(text),
       text},
      {"alternative: the plain part",
       Crlf("MIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=a\n\n--a\n"
            "Content-Type: text/plain\n\n") +
           text + Crlf("--a\nContent-Type: text/html\n\n") + html + Crlf("--a--\n"),
       text},
      {"alternative led by a non-text part: the first text part of the run",
       Crlf("MIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=a\n\n--a\n"
            "Content-Type: application/rtf\n\n{rtf}\n--a\nContent-Type: text/html\n\n") +
           html + Crlf("--a--\n"),
       html},
      {"text part of a non-text run: nothing",
       Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=a\n\n--a\n"
            "Content-Type: application/rtf\n\n{rtf}\n--a\nContent-Type: text/html\n\n") +
           html + Crlf("--a--\n"),
       ""},
      {"only attachments: nothing",
       Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=a\n\n--a\n"
            "Content-Disposition: attachment\n\nx\n--a--\n"),
       ""},
      {"unclosed multipart: nothing",
       Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=a\n\n--a\n\nx\n"), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const mimetest::Scanned s = mimetest::ScanMessage(dir_, row.message);
    for (const std::size_t limit :
         {std::size_t{4096}, std::size_t{1}, std::size_t{0}, std::size_t{1} << 20}) {
      SCOPED_TRACE("limit " + std::to_string(limit));
      EXPECT_TRUE(ReadMessageText(s.table, s.path, limit) == row.want.substr(0, limit))
          << "text differs";
    }
  }
}

TEST_F(MessageTextTest, FailedDecodingGivesNothing) {
  const std::string message = Crlf("MIME-Version: 1.0\n\nsome text\n");
  const mimetest::Scanned s = mimetest::ScanMessage(dir_, message);
  ASSERT_EQ(ReadMessageText(s.table, s.path, 100), Crlf("some text\n"));
  // The stored file lost its last line end, or is gone.
  mimetest::WriteFile(s.path, message.substr(0, message.size() - 1));
  EXPECT_EQ(ReadMessageText(s.table, s.path, 100), "");
  EXPECT_EQ(ReadMessageText(s.table, dir_.File("absent"), 100), "");
  EXPECT_EQ(ReadMessageText(PartTable{}, s.path, 100), "");
}

// --- ReadInnerHeaders -------------------------------------------------------------------------

TEST_F(MessageTextTest, InnerHeadersOfForwardedMessagesAndHeaderParts) {
  struct Row {
    const char* name;
    std::string content_type;
    std::string encoding;  // Content-Transfer-Encoding value, or empty
    std::string body;      // as stored in the part
    std::optional<std::vector<std::string>> want_subject_and_from;
    std::uint32_t lines_past_the_file = 0;  // the part claims more lines than the file holds
  };
  const std::string inner = Crlf("Subject: Hello\nFrom: A <a@b>,\n c@d\n\nbody\nSubject: no\n");
  const std::string only_headers = Crlf("Subject: Hello\nFrom: x");  // no final line end
  const std::vector<Row> rows = {
      {"message/rfc822", "message/rfc822", "", inner,
       std::vector<std::string>{" Hello", " A <a@b>, c@d"}},
      {"message/rfc822 in base64", "message/rfc822", "base64", Base64EncodeLines(inner),
       std::vector<std::string>{" Hello", " A <a@b>, c@d"}},
      {"message/rfc822 without empty line", "message/rfc822", "", Crlf("Subject: Hello\n"),
       std::nullopt},
      {"rfc822-headers without empty line", "text/rfc822-headers", "",
       Crlf("Subject: Hello\nFrom: x\n"), std::vector<std::string>{" Hello", " x"}},
      {"rfc822-headers ending mid-line", "text/rfc822-headers", "base64",
       Base64EncodeLines(only_headers), std::vector<std::string>{" Hello", " x"}},
      {"other type", "text/plain", "", inner, std::nullopt},
      {"undecodable part", "message/rfc822", "base64", "!!!!\r\n", std::nullopt},
      // Reading stops at the header block's end: a body that cannot be decoded is never read.
      {"undecodable body after the header block", "message/rfc822", "base64",
       Base64EncodeLines(inner.substr(0, inner.find("\r\n\r\n") + 4)) + "!!!!\r\n",
       std::vector<std::string>{" Hello", " A <a@b>, c@d"}},
      {"body lines missing from the file", "message/rfc822", "", inner,
       std::vector<std::string>{" Hello", " A <a@b>, c@d"}, 1000},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // Built as a single-part message so that the part's offsets are the message body's.
    std::string message = "MIME-Version: 1.0\r\nContent-Type: " + row.content_type + "\r\n";
    if (!row.encoding.empty()) message += "Content-Transfer-Encoding: " + row.encoding + "\r\n";
    const std::string headers = message + "\r\n";
    message = headers + row.body;
    const std::string path = dir_.File("message.eml");
    mimetest::WriteFile(path, message);
    PartEntry part;
    part.body_offset = static_cast<std::uint32_t>(headers.size());
    part.body_line_count = mimetest::CountLines(row.body) + row.lines_past_the_file;
    part.transfer_encoding =
        row.encoding.empty() ? TransferEncoding::k7Bit : TransferEncodingCode(row.encoding);
    const std::size_t slash = row.content_type.find('/');
    part.type = row.content_type.substr(0, slash);
    part.subtype = row.content_type.substr(slash + 1);

    const std::optional<HeaderList> got = ReadInnerHeaders(part, path);
    // Nothing is written anywhere: the folder holds the message alone.
    EXPECT_EQ(mimetest::FileNamesIn(dir_), std::vector<std::string>{"message.eml"});
    if (!row.want_subject_and_from) {
      EXPECT_FALSE(got.has_value());
    } else {
      ASSERT_TRUE(got.has_value());
      EXPECT_EQ(FindHeader(*got, "Subject", false), (*row.want_subject_and_from)[0]);
      EXPECT_EQ(FindHeader(*got, "From", false), (*row.want_subject_and_from)[1]);
      EXPECT_EQ(got->size(), 2u);
    }
  }
}

}  // namespace
}  // namespace pelrion::mailformat
