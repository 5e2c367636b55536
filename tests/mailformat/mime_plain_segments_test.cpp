// Text segments and uuencoded blocks of plain (non-MIME) messages.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mime_test_helpers.h"

namespace pelrion::mailformat {
namespace {

using mimetest::CountLines;
using mimetest::Crlf;

// What a segment should be, computed from the pieces the message was built from.
struct Want {
  std::uint32_t offset;
  std::uint32_t lines;
  std::uint32_t size;
  bool uuencoded;
  std::string name;
};

// Builds a plain message from pieces, remembering their offsets.
class PlainBuilder {
 public:
  PlainBuilder() { text_ = Crlf("From: a@example.com\nSubject: plain\n\n"); }
  // Appends raw CR LF text; returns its offset.
  std::uint32_t Add(std::string_view crlf_text) {
    const auto offset = static_cast<std::uint32_t>(text_.size());
    text_ += crlf_text;
    return offset;
  }
  std::uint32_t end() const { return static_cast<std::uint32_t>(text_.size()); }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

Want TextSegment(std::uint32_t offset, std::string_view crlf_text) {
  return {offset, CountLines(crlf_text), static_cast<std::uint32_t>(crlf_text.size()), false, ""};
}

void ExpectSegments(const PartTable& table, const std::vector<Want>& want) {
  EXPECT_EQ(table.mime, 0u);
  EXPECT_TRUE(table.parts.empty());
  ASSERT_EQ(table.segments.size(), want.size());
  std::uint32_t uuencoded = 0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("segment " + std::to_string(i));
    const SegmentEntry& got = table.segments[i];
    EXPECT_EQ(got.data_offset, want[i].offset);
    EXPECT_EQ(got.data_line_count, want[i].lines);
    EXPECT_EQ(got.data_size, want[i].size);
    EXPECT_EQ(got.uuencoded, want[i].uuencoded ? 1u : 0u);
    EXPECT_EQ(got.name, want[i].name);
    uuencoded += want[i].uuencoded ? 1 : 0;
  }
  EXPECT_EQ(table.uuencoded_count, uuencoded);
}

class PlainSegmentsTest : public testing::Test {
 protected:
  PartTable Scan(const std::string& message) { return mimetest::ScanMessage(dir_, message).table; }
  mimetest::TempDir dir_;
};

TEST_F(PlainSegmentsTest, TextOnlyIsOneSegment) {
  PlainBuilder m;
  const std::string body = Crlf("Hello,\n\nthis is all.\n");
  const auto at = m.Add(body);
  ExpectSegments(Scan(m.text()), {TextSegment(at, body)});
}

TEST_F(PlainSegmentsTest, EmptyBodyStillHasItsFirstSegment) {
  PlainBuilder m;
  ExpectSegments(Scan(m.text()), {Want{m.end(), 0, 0, false, ""}});
}

// A block between texts; what follows it is listed only when its lines average more than
// 2 bytes (CR LF included).
TEST_F(PlainSegmentsTest, UuencodedBlockBetweenTexts) {
  struct Row {
    const char* name;
    std::string after;  // CR LF text after the "end" line
    bool after_listed;
  };
  const std::vector<Row> rows = {
      {"words after the block", Crlf("Bye now\n"), true},
      {"only empty lines after", Crlf("\n\n\n"), false},
      {"nothing after", "", false},
      {"one short line among empty ones", Crlf("\na\n"), true},  // (2 + 3) / 2 > 2
      {"single one-letter line", Crlf("a\n"), true},             // 3 / 1
      {"space line and empty line", Crlf(" \n\n"), true},        // (3 + 2) / 2
      {"average exactly two", Crlf("\n\n"), false},
  };
  const std::string payload = mimetest::RandomBytes(1, 200);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PlainBuilder m;
    const std::string before = Crlf("See the attached file.\n\n");
    const auto before_at = m.Add(before);
    m.Add(Crlf("begin 644 a.zip\n"));
    const std::string block = mimetest::UuencodeBlock(payload);
    const auto data_at = m.Add(block);
    const auto after_at = m.Add(row.after);
    // Data lines: all but the zero-length line and "end".
    std::vector<Want> want = {TextSegment(before_at, before),
                              Want{data_at, CountLines(block) - 2,
                                   static_cast<std::uint32_t>(payload.size()), true, "a.zip"}};
    if (row.after_listed) want.push_back(TextSegment(after_at, row.after));
    ExpectSegments(Scan(m.text()), want);
  }
}

TEST_F(PlainSegmentsTest, BlockAtTheStartLeavesAnEmptyFirstSegment) {
  PlainBuilder m;
  const auto first_at = m.Add("");
  m.Add(Crlf("begin 600 x.bin\n"));
  const std::string payload = mimetest::RandomBytes(2, 45);
  const auto data_at = m.Add(mimetest::UuencodeBlock(payload));
  ExpectSegments(Scan(m.text()),
                 {Want{first_at, 0, 0, false, ""},
                  Want{data_at, 1, static_cast<std::uint32_t>(payload.size()), true, "x.bin"}});
}

TEST_F(PlainSegmentsTest, TwoBlocks) {
  PlainBuilder m;
  const std::string intro = Crlf("Two files:\n");
  const auto intro_at = m.Add(intro);
  m.Add(Crlf("begin 644 one.txt\n"));
  const std::string one = mimetest::RandomBytes(3, 100);
  const auto one_at = m.Add(mimetest::UuencodeBlock(one));
  const std::string between = Crlf("and the second one:\n");
  const auto between_at = m.Add(between);
  m.Add(Crlf("begin 644 two.txt\n"));
  const std::string two = mimetest::RandomBytes(4, 1);
  const auto two_at = m.Add(mimetest::UuencodeBlock(two));
  ExpectSegments(Scan(m.text()),
                 {TextSegment(intro_at, intro),
                  Want{one_at, 3, static_cast<std::uint32_t>(one.size()), true, "one.txt"},
                  TextSegment(between_at, between),
                  Want{two_at, 1, static_cast<std::uint32_t>(two.size()), true, "two.txt"}});
}

// A block that turns out not to be one becomes text again, merged into the text before it.
TEST_F(PlainSegmentsTest, BrokenBlocksAreGivenBackToTheText) {
  const std::string good_line = "#86)C\r\n";  // "abc"
  struct Row {
    const char* name;
    std::string block;  // from the "begin" line on, CR LF text
  };
  const std::vector<Row> rows = {
      {"malformed data line", "begin 644 a.zip\r\n" + good_line + "this is text again\r\nmore\r\n"},
      {"malformed first line", "begin 644 a.zip\r\nHello there, how are you?\r\n"},
      {"no end after the zero-length line", "begin 644 a.zip\r\n" + good_line + "`\r\nThe end\r\n"},
      {"end with trailing space", "begin 644 a.zip\r\n" + good_line + "`\r\nend \r\n"},
      {"block never finished", "begin 644 a.zip\r\n" + good_line + good_line},
      {"zero-length line then the end of the message", "begin 644 a.zip\r\n" + good_line + "`\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    PlainBuilder m;
    const std::string text = Crlf("Some text first.\n") + row.block + Crlf("Last words.\n");
    const bool ends_message =
        std::string_view(row.name).find("never") != std::string::npos ||
        std::string_view(row.name).find("end of the message") != std::string::npos;
    const std::string body = ends_message ? Crlf("Some text first.\n") + row.block : text;
    const auto at = m.Add(body);
    ExpectSegments(Scan(m.text()), {TextSegment(at, body)});
  }
}

TEST_F(PlainSegmentsTest, BeginLineForms) {
  struct Row {
    const char* line;       // without line end
    const char* want_name;  // nullptr: not a block start
  };
  const std::vector<Row> rows = {
      {"begin 644 a.zip", "a.zip"}, {"begin 644 name with spaces.txt", "name with spaces.txt"},
      {"begin    600 \t x", "x"},   {"begin 7 y", "y"},
      {"begin 644", nullptr},       {"begin 644 ", nullptr},
      {"begin 644 \t ", nullptr},   {"begin x y", nullptr},
      {"begin 644\tz", nullptr},    {"Begin 644 z", nullptr},
      {"begin644 z", nullptr},      {" begin 644 z", nullptr},
  };
  const std::string payload = "abc";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    PlainBuilder m;
    const auto text_at = m.Add(Crlf("Text first.\n"));
    m.Add(std::string(row.line) + "\r\n");
    const auto data_at = m.Add(mimetest::UuencodeBlock(payload));
    const PartTable table = Scan(m.text());
    if (row.want_name == nullptr) {
      // Everything is text (the "`" and "end" lines average more than 2 bytes too).
      ExpectSegments(table, {TextSegment(text_at, m.text().substr(text_at))});
    } else {
      ExpectSegments(table, {TextSegment(text_at, Crlf("Text first.\n")),
                             Want{data_at, 1, 3, true, row.want_name}});
    }
  }
}

TEST_F(PlainSegmentsTest, UuencodeDetectionInAMessageWithoutMimeVersion) {
  std::string message = Crlf("Content-Type: multipart/mixed; boundary=b\n\n--b\n\n");
  const auto text_length = static_cast<std::uint32_t>(message.size());
  message += Crlf("begin 644 f.dat\n");
  const auto data_at = static_cast<std::uint32_t>(message.size());
  message += mimetest::UuencodeBlock("0123456789");
  const PartTable table = Scan(message);
  ASSERT_EQ(table.segments.size(), 2u);
  EXPECT_EQ(table.segments[0].data_line_count, 2u);  // "--b" and the empty line
  EXPECT_EQ(table.segments[0].data_offset + table.segments[0].data_size, text_length);
  EXPECT_EQ(table.segments[1].data_offset, data_at);
  EXPECT_EQ(table.segments[1].name, "f.dat");
  EXPECT_EQ(table.uuencoded_count, 1u);
}

}  // namespace
}  // namespace pelrion::mailformat
