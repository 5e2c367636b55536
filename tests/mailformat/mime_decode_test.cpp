// Decoding parts straight from the stored file: every part of a message built from random
// payloads, encoded by the project's own encoders and by independent programs, decodes to
// exactly the payload, to a file and to memory (whole or cut short).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "mailformat/base64.h"
#include "mailformat/line_reader.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/part_decoder.h"
#include "mailformat/quoted_printable.h"
#include "mime_test_helpers.h"

namespace pelrion::mailformat {
namespace {

using mimetest::Crlf;
using mimetest::LfToCrlf;
using mimetest::RunFilter;

constexpr const char* kPython = "/usr/bin/python3";

struct EncodedPart {
  std::string label;
  std::string headers;   // Content-Type and Content-Transfer-Encoding lines, CR LF
  std::string encoded;   // the body lines, each ended by CR LF
  std::string expected;  // what the body decodes to
  TransferEncoding encoding;
};

// Checks that decoding [offset, lines) gives `expected`, to a file and into buffers of
// several capacities, and that the table's size matches.
void ExpectDecodes(const mimetest::TempDir& dir, const std::string& source, std::uint32_t offset,
                   std::uint32_t lines, std::uint32_t size, bool mime, TransferEncoding encoding,
                   const std::string& expected) {
  EXPECT_EQ(size, expected.size());
  const std::string out = dir.File("decoded");
  ASSERT_TRUE(DecodePartToFile(offset, lines, mime, encoding, source, out));
  EXPECT_TRUE(mimetest::ReadFile(out) == expected) << "file decoding differs";
  std::remove(out.c_str());

  const std::vector<std::size_t> capacities = {expected.size(), expected.size() + 10,
                                               expected.size() / 2, 1, 0};
  for (std::size_t capacity : capacities) {
    SCOPED_TRACE("capacity " + std::to_string(capacity));
    std::string buffer(capacity + 1, '\x5a');  // one guard byte past the capacity
    std::size_t placed = 99;
    ASSERT_TRUE(
        DecodePartToMemory(offset, lines, mime, encoding, source, buffer.data(), capacity, placed));
    const std::size_t want = std::min(capacity, expected.size());
    EXPECT_EQ(placed, want);
    EXPECT_TRUE(buffer.compare(0, want, expected, 0, want) == 0) << "memory decoding differs";
    EXPECT_EQ(buffer[capacity], '\x5a') << "wrote past the capacity";
  }
}

class PartDecodingTest : public testing::Test {
 protected:
  std::string Python(const std::string& program, std::string_view input) {
    return RunFilter(dir_, std::string(kPython) + " -c '" + program + "' \"$IN\"", input);
  }
  mimetest::TempDir dir_;
};

TEST_F(PartDecodingTest, EveryPartOfAMultipartDecodesToItsPayload) {
  const std::string binary1 = mimetest::RandomBytes(11, 5000);
  const std::string binary2 = mimetest::RandomBytes(12, 4097);
  const std::string binary3 = mimetest::RandomBytes(13, 1);
  // Quoted-printable payloads end in CR LF: a last line without one would get it back.
  const std::string binary4 = mimetest::RandomBytes(14, 3000) + "\r\n";
  const std::string text1 = mimetest::RandomTextLines(21, 3000);
  const std::string text2 = mimetest::RandomTextLines(22, 4000);
  const std::string text3 = mimetest::RandomTextLines(23, 2000);
  const std::string ascii = Crlf("plain seven-bit line\n\nanother line\n");

  const std::string python_base64 =
      "import base64,sys; sys.stdout.buffer.write(base64.encodebytes(open(sys.argv[1],\"rb\")."
      "read()))";
  // quopri reads LF-ended lines; the message stores them with CR LF.
  const std::string python_quopri =
      "import quopri,sys; d=open(sys.argv[1],\"rb\").read().replace(b\"\\r\\n\",b\"\\n\"); "
      "sys.stdout.buffer.write(quopri.encodestring(d))";

  const std::string b64 = "Content-Transfer-Encoding: base64\r\n";
  const std::string qp = "Content-Transfer-Encoding: quoted-printable\r\n";
  const std::vector<EncodedPart> parts = {
      {"7bit text", "Content-Type: text/plain\r\n", ascii, ascii, TransferEncoding::k7Bit},
      {"8bit text", "Content-Type: text/plain\r\nContent-Transfer-Encoding: 8bit\r\n", text1, text1,
       TransferEncoding::k8Bit},
      {"base64, own encoder", "Content-Type: application/octet-stream; name=a\r\n" + b64,
       Base64EncodeLines(binary1), binary1, TransferEncoding::kBase64},
      {"base64, coreutils", "Content-Type: image/png; name=b.png\r\n" + b64,
       LfToCrlf(RunFilter(dir_, "base64 -w 76 \"$IN\"", binary2)), binary2,
       TransferEncoding::kBase64},
      {"base64, python", "Content-Type: application/octet-stream; name=c\r\n" + b64,
       LfToCrlf(Python(python_base64, binary2)), binary2, TransferEncoding::kBase64},
      {"base64, one byte", "Content-Type: application/octet-stream; name=d\r\n" + b64,
       Base64EncodeLines(binary3), binary3, TransferEncoding::kBase64},
      {"base64, empty", "Content-Type: application/octet-stream; name=e\r\n" + b64, "", "",
       TransferEncoding::kBase64},
      {"quoted-printable text, own encoder", "Content-Type: text/plain\r\n" + qp,
       QuotedPrintableEncode(text2), text2, TransferEncoding::kQuotedPrintable},
      {"quoted-printable binary, own encoder", "Content-Type: application/x-q; name=q\r\n" + qp,
       QuotedPrintableEncode(binary4), binary4, TransferEncoding::kQuotedPrintable},
      {"quoted-printable text, python", "Content-Type: text/html\r\n" + qp,
       LfToCrlf(Python(python_quopri, text3)), text3, TransferEncoding::kQuotedPrintable},
      // A blank line before the boundary is part of the body: CR LF for text, nothing in base64.
      {"7bit with blank line", "Content-Type: text/plain\r\n", ascii + "\r\n", ascii + "\r\n",
       TransferEncoding::k7Bit},
      {"base64 with blank line", "Content-Type: application/octet-stream; name=f\r\n" + b64,
       Base64EncodeLines(binary1) + "\r\n", binary1, TransferEncoding::kBase64},
  };

  std::string message =
      Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"=b=\"\n\n");
  for (const EncodedPart& part : parts) {
    message += "--=b=\r\n" + part.headers + "\r\n" + part.encoded;
  }
  message += "--=b=--\r\n";
  const mimetest::Scanned s = mimetest::ScanMessage(dir_, message);
  ASSERT_EQ(s.table.parts.size(), parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    SCOPED_TRACE(parts[i].label);
    const PartEntry& entry = s.table.parts[i];
    EXPECT_EQ(entry.transfer_encoding, parts[i].encoding);
    ExpectDecodes(dir_, s.path, entry.body_offset, entry.body_line_count, entry.decoded_size, true,
                  entry.transfer_encoding, parts[i].expected);
  }
}

TEST_F(PartDecodingTest, EverySegmentOfAPlainMessageDecodes) {
  const std::string payload1 = mimetest::RandomBytes(31, 1000);
  const std::string payload2 = mimetest::RandomBytes(32, 90);
  const std::string text1 = Crlf("Here are two files.\n\n");
  const std::string text2 = Crlf("and the second:\n");
  const std::string text3 = Crlf("Regards,\nme\n");
  // sharutils writes the whole block, "begin" and "end" lines included.
  const std::string sharutils_block =
      LfToCrlf(RunFilter(dir_, "uuencode \"$IN\" first.bin", payload1));
  ASSERT_TRUE(sharutils_block.starts_with("begin ")) << sharutils_block.substr(0, 40);

  std::string message = Crlf("From: a@example.com\nSubject: files\n\n");
  message += text1 + sharutils_block + text2 + "begin 600 second.bin\r\n" +
             mimetest::UuencodeBlock(payload2) + text3;
  const mimetest::Scanned s = mimetest::ScanMessage(dir_, message);
  ASSERT_EQ(s.table.segments.size(), 5u);
  ASSERT_EQ(s.table.uuencoded_count, 2u);
  struct Want {
    const char* name;
    std::string decoded;
    bool uuencoded;
  };
  const std::vector<Want> want = {{"", text1, false},
                                  {"first.bin", payload1, true},
                                  {"", text2, false},
                                  {"second.bin", payload2, true},
                                  {"", text3, false}};
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("segment " + std::to_string(i));
    const SegmentEntry& segment = s.table.segments[i];
    EXPECT_EQ(segment.name, want[i].name);
    EXPECT_EQ(segment.uuencoded != 0, want[i].uuencoded);
    // Text segments are read as MIME code 0 (lines unchanged), blocks uudecoded.
    ExpectDecodes(dir_, s.path, segment.data_offset, segment.data_line_count, segment.data_size,
                  segment.uuencoded == 0, TransferEncoding::k7Bit, want[i].decoded);
  }
}

TEST_F(PartDecodingTest, DecodesOnlyTheRequestedLines) {
  struct Row {
    const char* name;
    std::string file;
    std::uint32_t offset;
    std::uint32_t lines;
    bool mime;
    TransferEncoding encoding;
    std::string want;
  };
  const std::vector<Row> rows = {
      {"no lines", "abc\r\n", 0, 0, true, TransferEncoding::k7Bit, ""},
      {"middle of the file", "skip\r\nQUJD\r\nREVG\r\nrest", 6, 1, true, TransferEncoding::kBase64,
       "ABC"},
      {"partial last line not read", "a\r\nb", 0, 1, true, TransferEncoding::k7Bit, "a\r\n"},
      {"LF-only quoted-printable line", "a=3Db\nc=\n", 0, 2, true,
       TransferEncoding::kQuotedPrintable, "a=b\r\nc"},
      {"quoted-printable with CR LF", "x=41=\r\ny\r\n", 0, 2, true,
       TransferEncoding::kQuotedPrintable, "xAy\r\n"},
      {"8bit bytes and NUL kept", std::string("\xe9\0\xff\r\n", 5), 0, 1, true,
       TransferEncoding::k8Bit, std::string("\xe9\0\xff\r\n", 5)},
      {"uudecoded line", "#86)C\r\n", 0, 1, false, TransferEncoding::k7Bit, "abc"},
      {"base64 stops at the pad", "QQ==QUJD\r\n", 0, 1, true, TransferEncoding::kBase64, "A"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string source = dir_.File("source");
    mimetest::WriteFile(source, row.file);
    ExpectDecodes(dir_, source, row.offset, row.lines, static_cast<std::uint32_t>(row.want.size()),
                  row.mime, row.encoding, row.want);
  }
}

TEST_F(PartDecodingTest, FailuresDeleteTheDestination) {
  struct Row {
    const char* name;
    std::string file;
    std::uint32_t offset;
    std::uint32_t lines;
    bool mime;
    TransferEncoding encoding;
  };
  const std::vector<Row> rows = {
      {"line count past the end", "a\r\nb\r\n", 0, 3, true, TransferEncoding::k7Bit},
      {"partial last line", "a\r\nb", 0, 2, true, TransferEncoding::k7Bit},
      {"offset past the end", "a\r\n", 1000, 1, true, TransferEncoding::k7Bit},
      {"bad base64 character", "QUJD\r\n!!!!\r\n", 0, 2, true, TransferEncoding::kBase64},
      {"undecodable code", "x\r\n", 0, 1, true, TransferEncoding::kUndecodable},
      {"unknown stored code", "x\r\n", 0, 1, true, TransferEncodingFromWord(99)},
      {"malformed uuencoded line", "#86)C\r\nhello world\r\n", 0, 2, false,
       TransferEncoding::k7Bit},
      {"zero-length uuencoded line", "#86)C\r\n`\r\n", 0, 2, false, TransferEncoding::k7Bit},
      {"empty uuencoded line", "\r\n", 0, 1, false, TransferEncoding::k7Bit},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string source = dir_.File("source");
    const std::string destination = dir_.File("out");
    mimetest::WriteFile(source, row.file);
    mimetest::WriteFile(destination, "left from before");
    EXPECT_FALSE(
        DecodePartToFile(row.offset, row.lines, row.mime, row.encoding, source, destination));
    EXPECT_FALSE(mimetest::FileExists(destination));
    char buffer[64];
    std::size_t placed = 0;
    EXPECT_FALSE(DecodePartToMemory(row.offset, row.lines, row.mime, row.encoding, source, buffer,
                                    sizeof buffer, placed));
  }
}

TEST_F(PartDecodingTest, MissingSourceOrDestinationFolderFails) {
  const std::string source = dir_.File("source");
  mimetest::WriteFile(source, "a\r\n");
  const std::string absent = dir_.File("absent.eml");
  EXPECT_FALSE(DecodePartToFile(0, 1, true, TransferEncoding::k7Bit, absent, dir_.File("out1")));
  EXPECT_FALSE(mimetest::FileExists(dir_.File("out1")));
  EXPECT_FALSE(
      DecodePartToFile(0, 1, true, TransferEncoding::k7Bit, source, dir_.File("no/such/dir")));
  char buffer[8];
  std::size_t placed = 0;
  EXPECT_FALSE(DecodePartToMemory(0, 1, true, TransferEncoding::k7Bit, absent, buffer,
                                  sizeof buffer, placed));
  EXPECT_EQ(placed, 0u);
}

// --- LineReader -------------------------------------------------------------------------------

TEST(LineReaderTest, SplitsAfterEachLf) {
  struct Row {
    const char* name;
    std::string file;
    std::vector<std::string> strict;
    std::vector<std::string> lenient;
  };
  const std::string long_line = std::string(3 * 1024 * 1024, 'x') + "\r\n";
  // Lines of many lengths, so that line ends fall everywhere across the reader's blocks.
  std::string many_lines;
  std::vector<std::string> each_line;
  for (std::size_t n = 0; many_lines.size() < 300 * 1024; n = (n * 7 + 13) % 1999) {
    each_line.push_back(std::string(n, static_cast<char>('a' + n % 26)) + "\r\n");
    many_lines += each_line.back();
  }
  const std::vector<Row> rows = {
      {"empty file", "", {}, {}},
      {"lines", "a\r\nb\n\r\n", {"a\r\n", "b\n", "\r\n"}, {"a\r\n", "b\n", "\r\n"}},
      {"partial last line", "a\r\nend", {"a\r\n"}, {"a\r\n", "end"}},
      {"lone CR is no line end", "a\rb\n", {"a\rb\n"}, {"a\rb\n"}},
      {"NUL bytes kept",
       std::string("a\0b\n", 4),
       {std::string("a\0b\n", 4)},
       {std::string("a\0b\n", 4)}},
      {"very long line", long_line + "z", {long_line}, {long_line, "z"}},
      {"line ends across read blocks", many_lines, each_line, each_line},
  };
  mimetest::TempDir dir;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string path = dir.File("lines");
    mimetest::WriteFile(path, row.file);
    // The size expected only changes how much is read at first: none, a page, the block.
    for (const std::size_t expected : {std::size_t{0}, std::size_t{1}, std::size_t{1} << 20}) {
      for (const bool strict : {true, false}) {
        SCOPED_TRACE(::testing::Message() << (strict ? "strict" : "lenient") << ", expected "
                                          << expected);
        std::FILE* file = std::fopen(path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        std::vector<std::string> got;
        {
          LineReader reader(file, expected);
          std::string_view line;
          while (reader.ReadLine(strict, line)) got.emplace_back(line);
        }
        std::fclose(file);
        EXPECT_TRUE(got == (strict ? row.strict : row.lenient)) << "lines differ";
      }
    }
  }
}

}  // namespace
}  // namespace pelrion::mailformat
