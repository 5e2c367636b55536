// Structure found by MimeScanner + BuildPartTable: which parts are listed, where their bodies
// lie, what they decode to in size, and which form the message text.
#include "mailformat/mime_scanner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mailformat/message_file_scan.h"
#include "mailformat/message_text.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/mime_types.h"
#include "mime_test_helpers.h"
#include "platform/random.h"

namespace pelrion::mailformat {
namespace {

using mimetest::CountLines;
using mimetest::Crlf;

// Builds a CR LF message and remembers where the bodies of interest lie.
class MessageBuilder {
 public:
  struct Span {
    std::uint32_t offset = 0;
    std::uint32_t lines = 0;
    std::uint32_t size = 0;
  };
  // Appends text written with "\n".
  MessageBuilder& Add(std::string_view text) {
    text_ += Crlf(text);
    return *this;
  }
  // Appends a body written with "\n" and returns its span.
  Span Body(std::string_view text) {
    const std::string body = Crlf(text);
    Span span{static_cast<std::uint32_t>(text_.size()), CountLines(body),
              static_cast<std::uint32_t>(body.size())};
    text_ += body;
    return span;
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

class MimeScannerTest : public testing::Test {
 protected:
  void SetUp() override { SetMimeTypesPathForTesting(PELRION_FIXTURES "/mime/mime.types"); }
  void TearDown() override { SetMimeTypesPathForTesting(""); }

  mimetest::Scanned Scan(std::string_view message) { return mimetest::ScanMessage(dir_, message); }

  mimetest::TempDir dir_;
};

void ExpectBody(const PartEntry& part, const MessageBuilder::Span& span) {
  EXPECT_EQ(part.body_offset, span.offset);
  EXPECT_EQ(part.body_line_count, span.lines);
  EXPECT_EQ(part.decoded_size, span.size);
}

TEST_F(MimeScannerTest, MultipartWithoutMimeVersionIsAPlainMessage) {
  MessageBuilder m;
  m.Add("From: a@example.com\nContent-Type: multipart/mixed; boundary=\"b\"\n\n");
  const auto body = m.Body("--b\nContent-Type: image/png\n\nabc\n--b--\n");
  const mimetest::Scanned s = Scan(m.text());
  EXPECT_EQ(s.table.mime, 0u);
  EXPECT_TRUE(s.table.parts.empty());
  ASSERT_EQ(s.table.segments.size(), 1u);
  const SegmentEntry& text = s.table.segments[0];
  EXPECT_EQ(text.data_offset, body.offset);
  EXPECT_EQ(text.data_line_count, body.lines);
  EXPECT_EQ(text.data_size, body.size);
  EXPECT_EQ(text.uuencoded, 0u);
  EXPECT_EQ(s.header_length, body.offset);
  EXPECT_EQ(s.body_line_count, body.lines);
}

TEST_F(MimeScannerTest, SinglePartMimeMessageIsOneTextEntry) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: text/plain; charset=us-ascii\n\n");
  const auto body = m.Body("Hello,\nworld.\n");
  const mimetest::Scanned s = Scan(m.text());
  EXPECT_EQ(s.table.mime, 1u);
  ASSERT_EQ(s.table.parts.size(), 1u);
  ExpectBody(s.table.parts[0], body);
  EXPECT_EQ(s.table.parts[0].group_identity, 0u);
  EXPECT_EQ(s.table.parts[0].in_alternative, 0u);
  EXPECT_EQ(s.table.parts[0].attachment, 0u);
  EXPECT_EQ(s.table.first_text_index, 0u);
  EXPECT_EQ(s.table.text_part_count, 1u);
  EXPECT_TRUE(s.table.segments.empty());
}

TEST_F(MimeScannerTest, UnclosedMultipartsContributeNothing) {
  struct Row {
    const char* name;
    std::string message;
  };
  const std::vector<Row> rows = {
      {"root never closed", Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
                                 "--b\nContent-Type: text/plain\n\nhello\n--b\n\nsecond\n")},
      // From inside the inner leaf only the inner boundary counts, so the outer close is text.
      {"inner never closed",
       Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=outer\n\n"
            "--outer\nContent-Type: text/plain\n\nfirst\n"
            "--outer\nContent-Type: multipart/alternative; boundary=inner\n\n"
            "--inner\nContent-Type: text/plain\n\nx\n--outer--\n")},
      {"part header block never ends",
       Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n"
            "--b\nContent-Type: text/plain\n--b--\n")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const mimetest::Scanned s = Scan(row.message);
    EXPECT_EQ(s.table.mime, 1u);
    EXPECT_TRUE(s.table.parts.empty());
    EXPECT_EQ(s.table.text_part_count, 0u);
    EXPECT_EQ(s.table.first_text_index, 0u);
    EXPECT_TRUE(s.table.segments.empty());
  }
}

TEST_F(MimeScannerTest, MessageWhoseHeaderBlockNeverEndsHasNoTable) {
  const mimetest::Scanned s = Scan(Crlf("MIME-Version: 1.0\nSubject: x\nno empty line\n"));
  EXPECT_FALSE(s.headers_ended);
  EXPECT_EQ(s.header_length, 0u);
  EXPECT_EQ(s.body_line_count, 0u);
  EXPECT_EQ(s.table, PartTable{});
}

TEST_F(MimeScannerTest, BoundaryIsAPrefixMatch) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"sep\"\n\npreamble\n");
  m.Add("--sep and some words\nContent-Type: text/plain\n\n");
  const auto first = m.Body("one\n");
  m.Add("--separator\nContent-Type: text/plain\n\n");
  const auto second = m.Body("two\n");
  m.Add("--sep--and more\nepilogue\n");
  const mimetest::Scanned s = Scan(m.text());
  ASSERT_EQ(s.table.parts.size(), 2u);
  ExpectBody(s.table.parts[0], first);
  ExpectBody(s.table.parts[1], second);
}

TEST_F(MimeScannerTest, LeafCountsItsLinesUpToTheNextBoundary) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n\n");
  const auto plain = m.Body("line one\n\nline three\n\n");  // the blank line before "--b" too
  m.Add("--b\nContent-Type: text/plain\nContent-Transfer-Encoding: 8bit\n\n");
  const auto eight_bit = m.Body("caf\xe9\n");
  m.Add("--b--\n");
  const mimetest::Scanned s = Scan(m.text());
  ASSERT_EQ(s.table.parts.size(), 2u);
  ExpectBody(s.table.parts[0], plain);
  ExpectBody(s.table.parts[1], eight_bit);
  EXPECT_EQ(s.table.parts[0].transfer_encoding, TransferEncoding::k7Bit);
  EXPECT_EQ(s.table.parts[1].transfer_encoding, TransferEncoding::k8Bit);
  EXPECT_EQ(s.table.parts[0].type, "text");  // no Content-Type: text/plain
  EXPECT_EQ(s.table.parts[0].subtype, "plain");
}

TEST_F(MimeScannerTest, UndecodablePartsAreLeftOut) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n");
  m.Add("--b\nContent-Type: text/plain\n\n");
  const auto text = m.Body("hi\n");
  m.Add(
      "--b\nContent-Type: application/octet-stream; name=a.bin\n"
      "Content-Transfer-Encoding: x-uuencode\n\nbegin 644 a.bin\n#86)C\n`\nend\n");
  m.Add(
      "--b\nContent-Type: application/octet-stream; name=b.bin\n"
      "Content-Transfer-Encoding: base64\n\nQUJD\n!!!!\n");
  m.Add("--b\nContent-Type: image/gif; name=c.gif\nContent-Transfer-Encoding: base64\n\n");
  const auto gif = m.Body("R0lG\n");
  m.Add("--b--\n");
  const mimetest::Scanned s = Scan(m.text());
  ASSERT_EQ(s.table.parts.size(), 2u);
  ExpectBody(s.table.parts[0], text);
  EXPECT_EQ(s.table.parts[1].name, "c.gif");
  EXPECT_EQ(s.table.parts[1].body_offset, gif.offset);
  EXPECT_EQ(s.table.parts[1].decoded_size, 3u);
}

TEST_F(MimeScannerTest, Base64LinesAfterThePaddedLineAreNotCounted) {
  struct Row {
    const char* name;
    std::string body;  // written with "\n"
    std::uint32_t want_lines;
    std::uint32_t want_size;
  };
  const std::vector<Row> rows = {
      {"padded line then more data", "QUJD\nQQ==\nQUJD\n\n", 2, 4},
      {"pad in the middle of a line", "QUJDRA=junk\nQUJD\n", 1, 4},
      {"no padding: the blank line counts", "QUJD\nQUJD\n\n", 3, 6},
      {"white space inside lines skipped", "QU JD\tQUJD\n", 1, 6},
      {"incomplete last group gives its bytes", "QUJDQQ\n", 1, 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MessageBuilder m;
    m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n");
    m.Add("--b\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n\n");
    const auto body = m.Body(row.body);
    m.Add("--b--\n");
    const mimetest::Scanned s = Scan(m.text());
    ASSERT_EQ(s.table.parts.size(), 1u);
    EXPECT_EQ(s.table.parts[0].body_offset, body.offset);
    EXPECT_EQ(s.table.parts[0].body_line_count, row.want_lines);
    EXPECT_EQ(s.table.parts[0].decoded_size, row.want_size);
  }
}

TEST_F(MimeScannerTest, QuotedPrintableSizeIsTheDecodedSize) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Transfer-Encoding: quoted-printable\n\n");
  // "caf=E9" -> 4 bytes + CR LF; "soft=" -> 4 bytes, no line end; "end" -> 3 + CR LF.
  const auto body = m.Body("caf=E9\nsoft=\nend\n");
  const mimetest::Scanned s = Scan(m.text());
  ASSERT_EQ(s.table.parts.size(), 1u);
  EXPECT_EQ(s.table.parts[0].body_offset, body.offset);
  EXPECT_EQ(s.table.parts[0].body_line_count, 3u);
  EXPECT_EQ(s.table.parts[0].decoded_size, 6u + 4u + 5u);
}

TEST_F(MimeScannerTest, AlternativeTextRunAndNamedImage) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=outer\n\n");
  m.Add("--outer\nContent-Type: multipart/alternative; boundary=inner\n\n");
  m.Add("--inner\nContent-Type: text/plain\n\nplain\n");
  m.Add("--inner\nContent-Type: text/html\n\n<p>html</p>\n--inner--\n");
  m.Add("--outer\nContent-Type: image/png\nContent-Transfer-Encoding: base64\n\niVBORw==\n");
  m.Add("--outer\nContent-Type: application/x-unregistered\n\nzzz\n--outer--\n");
  constexpr std::uint32_t kSeed = 12345;
  platform::SeedRand(kSeed);
  const mimetest::Scanned s = Scan(m.text());
  platform::SeedRand(kSeed);
  const int first_random = platform::Rand();
  const int second_random = platform::Rand();

  ASSERT_EQ(s.table.parts.size(), 4u);
  EXPECT_EQ(s.table.first_text_index, 0u);
  EXPECT_EQ(s.table.text_part_count, 2u);
  const auto& p = s.table.parts;
  EXPECT_EQ(p[0].subtype, "plain");
  EXPECT_EQ(p[1].subtype, "html");
  EXPECT_EQ(p[0].in_alternative, 1u);
  EXPECT_EQ(p[1].in_alternative, 1u);
  EXPECT_EQ(p[2].in_alternative, 0u);
  EXPECT_NE(p[0].group_identity, 0u);
  EXPECT_EQ(p[0].group_identity, p[1].group_identity);
  EXPECT_NE(p[2].group_identity, 0u);
  EXPECT_NE(p[2].group_identity, p[0].group_identity);
  EXPECT_EQ(p[2].group_identity, p[3].group_identity);
  EXPECT_EQ(p[0].attachment, 0u);
  EXPECT_EQ(p[1].attachment, 0u);
  EXPECT_EQ(p[0].name, "");
  EXPECT_EQ(p[2].attachment, 1u);
  EXPECT_EQ(p[2].name, "A" + std::to_string(first_random) + ".png");
  EXPECT_EQ(p[3].attachment, 1u);
  EXPECT_EQ(p[3].name, "A" + std::to_string(second_random) + ".dat");
}

TEST_F(MimeScannerTest, AttachmentFlagAndNameSources) {
  struct Row {
    const char* name;
    std::string headers;  // of the first part, written with "\n"
    bool attachment;
    std::string want_name;  // empty: a made-up "A<n>.txt" name
  };
  const std::vector<Row> rows = {
      {"inline text is an attachment", "Content-Type: text/plain\nContent-Disposition: inline\n",
       true, ""},
      {"attachment disposition", "Content-Type: text/plain\nContent-Disposition: ATTACHMENT\n",
       true, ""},
      {"file name from disposition",
       "Content-Type: text/plain\nContent-Disposition: attachment; filename=\"r.txt\"\n", true,
       "r.txt"},
      {"name parameter wins over file name",
       "Content-Type: text/plain; name=\"n.txt\"\nContent-Disposition: inline; filename=f.txt\n",
       true, "n.txt"},
      {"name stored as written, not decoded",
       "Content-Type: text/plain; name=\"=?utf-8?Q?a?=.txt\"\n", true, "=?utf-8?Q?a?=.txt"},
      {"other disposition types are not attachments",
       "Content-Type: text/plain\nContent-Disposition: form-data\n", false, ""},
      {"unparsable disposition ignored", "Content-Type: text/plain\nContent-Disposition: ;\n",
       false, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MessageBuilder m;
    m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n");
    m.Add(row.headers).Add("\nfirst\n--b\nContent-Type: text/plain\n\nsecond\n--b--\n");
    const mimetest::Scanned s = Scan(m.text());
    ASSERT_EQ(s.table.parts.size(), 2u);
    if (row.attachment) {
      EXPECT_EQ(s.table.parts[0].attachment, 1u);
      EXPECT_EQ(s.table.first_text_index, 1u);
      EXPECT_EQ(s.table.text_part_count, 1u);
      EXPECT_EQ(s.table.parts[1].attachment, 0u);
      EXPECT_EQ(s.table.parts[1].name, "");
      if (row.want_name.empty()) {
        EXPECT_TRUE(s.table.parts[0].name.starts_with("A"));
        EXPECT_TRUE(s.table.parts[0].name.ends_with(".txt"));
      } else {
        EXPECT_EQ(s.table.parts[0].name, row.want_name);
      }
    } else {
      EXPECT_EQ(s.table.first_text_index, 0u);
      EXPECT_EQ(s.table.text_part_count, 1u);
      EXPECT_EQ(s.table.parts[0].attachment, 0u);
      EXPECT_EQ(s.table.parts[1].attachment, 1u);
    }
  }
}

// A reply that is one text part is read for the code typed into it, however it is marked.
TEST_F(MimeScannerTest, SinglePartTextIsTheMessageTextWhateverItsDisposition) {
  struct Row {
    const char* label;
    std::string headers;  // after MIME-Version, written with "\n"
    bool text;
    std::string want_name;
  };
  const std::vector<Row> rows = {
      {"inline", "Content-Type: text/plain\nContent-Disposition: inline\n", true, ""},
      {"attachment", "Content-Type: text/plain\nContent-Disposition: attachment\n", true, ""},
      {"attachment with a file name",
       "Content-Type: text/plain\nContent-Disposition: attachment; filename=r.txt\n", true,
       "r.txt"},
      {"named", "Content-Type: text/html; name=page.htm\n", true, "page.htm"},
      {"no content type, inline", "Content-Disposition: inline\n", true, ""},
      {"inline image is no text", "Content-Type: image/png\nContent-Disposition: inline\n", false,
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    MessageBuilder m;
    m.Add("MIME-Version: 1.0\n").Add(row.headers).Add("\n");
    const auto body = m.Body("Code: 123456\n");
    const mimetest::Scanned s = Scan(m.text());
    ASSERT_EQ(s.table.parts.size(), 1u);
    ExpectBody(s.table.parts[0], body);
    if (row.text) {
      EXPECT_EQ(s.table.text_part_count, 1u);
      EXPECT_EQ(s.table.first_text_index, 0u);
      EXPECT_EQ(s.table.parts[0].attachment, 0u);
      EXPECT_EQ(s.table.parts[0].name, row.want_name);
      EXPECT_EQ(ReadMessageText(s.table, s.path, 4096), Crlf("Code: 123456\n"));
    } else {
      EXPECT_EQ(s.table.text_part_count, 0u);
      EXPECT_EQ(s.table.parts[0].attachment, 1u);
      EXPECT_EQ(ReadMessageText(s.table, s.path, 4096), "");
    }
  }
}

// RFC 2231 parameters are used wherever the plain ones are: boundaries and part names.
TEST_F(MimeScannerTest, ExtendedParametersDivideAndNameParts) {
  struct Row {
    const char* label;
    std::string multipart_parameters;  // after "multipart/mixed; "; the boundary is "b7"
    std::string part_headers;          // of the second part
    std::string want_name;             // of the second part
  };
  const std::vector<Row> rows = {
      {"boundary*", "boundary*=us-ascii'en'b%37", "Content-Type: application/pdf; name=x.pdf\n",
       "x.pdf"},
      {"boundary in sections", "boundary*0=b; boundary*1=\"7\"",
       "Content-Type: application/pdf; name*=utf-8''%E2%82%AC.pdf\n", "\xE2\x82\xAC.pdf"},
      {"file name in encoded sections", "boundary=b7",
       "Content-Type: application/pdf\nContent-Disposition: attachment;\n"
       " filename*0*=iso-8859-1''caf%E9%20; filename*1=\"menu.pdf\"\n",
       "caf\xE9 menu.pdf"},
      {"extended name beside its plain stand-in", "boundary=b7",
       "Content-Type: application/pdf; name=\"fallback.pdf\";\n name*=utf-8''%C3%A9t%C3%A9.pdf\n",
       "\xC3\xA9t\xC3\xA9.pdf"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    MessageBuilder m;
    m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; " + row.multipart_parameters +
          "\n\n--b7\nContent-Type: text/plain\n\n");
    const auto text = m.Body("text\n");
    m.Add("--b7\n").Add(row.part_headers).Add("\n");
    const auto attachment = m.Body("data\n");
    m.Add("--b7--\n");
    const mimetest::Scanned s = Scan(m.text());
    ASSERT_EQ(s.table.parts.size(), 2u);
    ExpectBody(s.table.parts[0], text);
    ExpectBody(s.table.parts[1], attachment);
    EXPECT_EQ(s.table.parts[1].name, row.want_name);
    EXPECT_EQ(s.table.parts[1].attachment, 1u);
  }
}

TEST_F(MimeScannerTest, FallbackTypes) {
  struct Row {
    const char* name;
    std::string part_headers;
    std::string want_type;
    std::string want_subtype;
  };
  const std::vector<Row> rows = {
      {"missing Content-Type", "X-Other: 1\n", "text", "plain"},
      {"unparsable Content-Type", "Content-Type: nonsense\n", "text", "plain"},
      {"multipart without boundary", "Content-Type: multipart/mixed\n", "text", "plain"},
      {"multipart with empty boundary", "Content-Type: multipart/mixed; boundary=\"\"\n", "text",
       "plain"},
      {"letter case folded", "Content-Type: Image/JPEG\n", "image", "jpeg"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MessageBuilder m;
    m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n");
    m.Add(row.part_headers).Add("\n");
    const auto body = m.Body("--c\nbody\n--c--\n");
    m.Add("--b--\n");
    const mimetest::Scanned s = Scan(m.text());
    ASSERT_EQ(s.table.parts.size(), 1u);
    EXPECT_EQ(s.table.parts[0].type, row.want_type);
    EXPECT_EQ(s.table.parts[0].subtype, row.want_subtype);
    ExpectBody(s.table.parts[0], body);
  }
}

TEST_F(MimeScannerTest, ForwardedMessagesAreNamedByTheirSubject) {
  struct Row {
    const char* name;
    std::string inner;  // the forwarded message as stored in the part, with "\n"
    std::string want;   // empty: "A<n>.eml"
  };
  const std::vector<Row> rows = {
      {"colon and slash become underscores", "Subject: Re: a/b\nFrom: x@y\n\nbody\n",
       "Re_ a_b.eml"},
      {"encoded word decoded and trimmed", "Subject:  =?iso-8859-1?Q?Caf=E9?=  \n\nbody\n",
       "Caf\xe9.eml"},
      {"folded subject", "Subject: one\n two\n\nbody\n", "one two.eml"},
      {"all forbidden characters", "Subject: a\\b*c?d<e>f|g\"h\n\n", "a_b_c_d_e_f_g_h.eml"},
      {"blank subject", "Subject:   \n\nbody\n", ""},
      {"no subject", "From: x@y\n\nbody\n", ""},
      {"inner header block not ended", "Subject: cut\n", ""},
      {"explicit name kept", "Subject: ignored\n\n", "named.eml"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const bool named = std::string_view(row.name) == "explicit name kept";
    MessageBuilder m;
    m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n");
    m.Add("--b\nContent-Type: text/plain\n\nsee attached\n");
    m.Add(named ? "--b\nContent-Type: message/rfc822; name=named.eml\n"
                : "--b\nContent-Type: message/rfc822\n");
    m.Add("\n").Add(row.inner).Add("--b--\n");
    const mimetest::Scanned s = Scan(m.text());
    ASSERT_EQ(s.table.parts.size(), 2u);
    EXPECT_EQ(s.table.parts[1].attachment, 1u);
    if (row.want.empty()) {
      const std::string& name = s.table.parts[1].name;
      ASSERT_TRUE(name.starts_with("A") && name.ends_with(".eml")) << name;
      const std::string digits = name.substr(1, name.size() - 5);
      ASSERT_FALSE(digits.empty());
      EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << name;
      EXPECT_LE(std::stoi(digits), 32767);
    } else {
      EXPECT_EQ(s.table.parts[1].name, row.want);
    }
  }
}

TEST_F(MimeScannerTest, Base64ForwardedMessageIsDecodedBeforeItsSubjectIsRead) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n\ntext\n");
  m.Add("--b\nContent-Type: message/rfc822\nContent-Transfer-Encoding: base64\n\n");
  // "Subject: Hidden: one\r\n\r\nx\r\n"
  m.Add("U3ViamVjdDogSGlkZGVuOiBvbmUNCg0KeA0K\n--b--\n");
  const mimetest::Scanned s = Scan(m.text());
  ASSERT_EQ(s.table.parts.size(), 2u);
  EXPECT_EQ(s.table.parts[1].name, "Hidden_ one.eml");
}

// Only the forwarded message's header block is read for its name, in memory: a large body is
// not copied anywhere and no file is left beside the message.
TEST_F(MimeScannerTest, ForwardedMessageNameLeavesNoFileBehind) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n\ntext\n");
  m.Add("--b\nContent-Type: message/rfc822\n\nSubject: Minutes\n\n");
  std::string body;
  for (int i = 0; i < 100'000; ++i) body += "a line of the forwarded message's body\n";
  m.Add(body).Add("--b--\n");
  const mimetest::Scanned s = Scan(m.text());
  ASSERT_EQ(s.table.parts.size(), 2u);
  EXPECT_EQ(s.table.parts[1].name, "Minutes.eml");
  EXPECT_EQ(mimetest::FileNamesIn(dir_), std::vector<std::string>{"message.eml"});
}

TEST_F(MimeScannerTest, DigestPartsDefaultToForwardedMessages) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: multipart/digest; boundary=d\n\n");
  m.Add("--d\n\nSubject: first\n\none\n");
  m.Add("--d\n\nSubject: second\n\ntwo\n");
  m.Add("--d\nContent-Type: text/plain\n\nthree\n--d--\n");
  const mimetest::Scanned s = Scan(m.text());
  ASSERT_EQ(s.table.parts.size(), 3u);
  EXPECT_EQ(s.table.parts[0].type, "message");
  EXPECT_EQ(s.table.parts[0].subtype, "rfc822");
  EXPECT_EQ(s.table.parts[1].type, "message");
  EXPECT_EQ(s.table.parts[2].type, "text");
  // The first part without attachment flag is the text, whatever its type.
  EXPECT_EQ(s.table.first_text_index, 0u);
  EXPECT_EQ(s.table.text_part_count, 1u);
  EXPECT_EQ(s.table.parts[1].name, "second.eml");
  EXPECT_EQ(s.table.parts[2].attachment, 1u);
}

TEST_F(MimeScannerTest, MessageRfc822OutsideDigestNeedsItsType) {
  // Inside multipart/mixed a part without Content-Type is text/plain, not a message.
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=d\n\n");
  m.Add("--d\n\nSubject: first\n\none\n--d--\n");
  const mimetest::Scanned s = Scan(m.text());
  ASSERT_EQ(s.table.parts.size(), 1u);
  EXPECT_EQ(s.table.parts[0].type, "text");
}

TEST_F(MimeScannerTest, GroupsFollowTheNesting) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=m\n\n");
  m.Add("--m\n\nintro\n");
  m.Add("--m\nContent-Type: multipart/alternative; boundary=a1\n\n");
  m.Add("--a1\n\nA\n--a1\nContent-Type: text/html\n\nB\n--a1--\n");
  m.Add("--m\nContent-Type: image/gif; name=g.gif\n\nG\n");
  m.Add("--m\nContent-Type: multipart/alternative; boundary=a2\n\n");
  m.Add("--a2\n\nC\n--a2\nContent-Type: text/html\n\nD\n--a2--\n--m--\n");
  const mimetest::Scanned s = Scan(m.text());
  ASSERT_EQ(s.table.parts.size(), 6u);
  const auto& p = s.table.parts;
  EXPECT_EQ(p[0].group_identity, p[3].group_identity);
  EXPECT_EQ(p[1].group_identity, p[2].group_identity);
  EXPECT_EQ(p[4].group_identity, p[5].group_identity);
  EXPECT_NE(p[0].group_identity, p[1].group_identity);
  EXPECT_NE(p[1].group_identity, p[4].group_identity);
  EXPECT_NE(p[0].group_identity, p[4].group_identity);
  const std::vector<std::uint32_t> alternative = {0, 1, 1, 0, 1, 1};
  for (std::size_t i = 0; i < p.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(p[i].in_alternative, alternative[i]);
  }
  // "intro" is the text; not in an alternative, so alone.
  EXPECT_EQ(s.table.first_text_index, 0u);
  EXPECT_EQ(s.table.text_part_count, 1u);
  for (std::size_t i = 1; i < p.size(); ++i) EXPECT_EQ(p[i].attachment, 1u) << i;
}

TEST_F(MimeScannerTest, TextRunStartsAtTheFirstNonAttachmentInsideAnAlternative) {
  MessageBuilder m;
  m.Add("MIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=a\n\n");
  m.Add("--a\nContent-Disposition: inline\n\nfirst\n");
  m.Add("--a\n\nsecond\n--a\nContent-Type: text/html\n\nthird\n--a--\n");
  const mimetest::Scanned s = Scan(m.text());
  ASSERT_EQ(s.table.parts.size(), 3u);
  EXPECT_EQ(s.table.first_text_index, 1u);
  EXPECT_EQ(s.table.text_part_count, 2u);
  EXPECT_EQ(s.table.parts[0].attachment, 1u);
  EXPECT_EQ(s.table.parts[2].attachment, 0u);
}

TEST_F(MimeScannerTest, HeaderLengthAndBodyLines) {
  struct Row {
    const char* name;
    std::string headers;
    std::string body;
  };
  const std::vector<Row> rows = {
      {"plain", "Subject: x\n\n", "a\nb\n"},
      {"mime", "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n",
       "--b\n\nx\n--b--\nepilogue\n"},
      {"empty body", "Subject: x\n\n", ""},
      {"body of empty lines", "Subject: x\n\n", "\n\n\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string headers = Crlf(row.headers);
    const std::string body = Crlf(row.body);
    MimeScanner scanner;
    mimetest::FeedText(scanner, headers + body);
    EXPECT_TRUE(scanner.headers_ended());
    EXPECT_EQ(scanner.header_length(), headers.size());
    EXPECT_EQ(scanner.body_line_count(), CountLines(body));
    EXPECT_EQ(scanner.header_text(), headers);
  }
}

// The same message fed from its file in chunks of every size gives the same result as a
// line-by-line feed from memory.
TEST_F(MimeScannerTest, FileFeedInAnyChunkSizeMatchesLineFeed) {
  const std::vector<std::string> messages = {
      Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n\nhello\n"
           "--b\nContent-Type: application/octet-stream; name=x\n"
           "Content-Transfer-Encoding: base64\n\nQUJD\nREVG\n--b\n"
           "Content-Transfer-Encoding: quoted-printable\n\na=3Db=\nc\n--b--\n"),
      Crlf("Subject: plain\n\ntext\nbegin 644 f.bin\n#86)C\n`\nend\nafter the block\n"),
      "Subject: no final line end\r\n\r\nlast line",
      "Subject: bare LF lines\n\nbody\n",
  };
  const std::vector<std::size_t> chunk_sizes = {1, 2, 3, 7, 64, 65536};
  for (std::size_t i = 0; i < messages.size(); ++i) {
    SCOPED_TRACE("message " + std::to_string(i));
    platform::SeedRand(7);
    const mimetest::Scanned want = Scan(messages[i]);
    for (std::size_t chunk : chunk_sizes) {
      SCOPED_TRACE("chunk " + std::to_string(chunk));
      MimeScanner scanner;
      ASSERT_TRUE(FeedMessageFile(want.path, scanner, chunk));
      EXPECT_EQ(scanner.headers_ended(), want.headers_ended);
      EXPECT_EQ(scanner.header_length(), want.header_length);
      EXPECT_EQ(scanner.body_line_count(), want.body_line_count);
      platform::SeedRand(7);
      EXPECT_EQ(BuildPartTable(scanner, want.path), want.table);
    }
  }
}

TEST_F(MimeScannerTest, FileFeedFailsForAMissingFile) {
  MimeScanner scanner;
  EXPECT_FALSE(FeedMessageFile(dir_.File("absent.eml"), scanner));
  EXPECT_FALSE(scanner.headers_ended());
}

}  // namespace
}  // namespace pelrion::mailformat
