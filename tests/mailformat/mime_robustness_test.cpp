// Hostile shapes: very deep nesting, very many parts, very long lines. Each must be scanned,
// built, decoded and freed without running out of stack or taking quadratic time, and the
// structure kept is bounded: beyond the limits it stays in the body of the current part.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mailformat/base64.h"
#include "mailformat/message_text.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/mime_scanner.h"
#include "mailformat/mime_types.h"
#include "mailformat/part_decoder.h"
#include "mime_test_helpers.h"

namespace pelrion::mailformat {
namespace {

using mimetest::Crlf;

constexpr int kDepth = 100000;

class MimeRobustnessTest : public testing::Test {
 protected:
  void SetUp() override { SetMimeTypesPathForTesting(PELRION_FIXTURES "/mime/mime.types"); }
  void TearDown() override { SetMimeTypesPathForTesting(""); }
  mimetest::TempDir dir_;
};

// A root multipart with `depth` multiparts nested in it and a text leaf at the bottom.
// Boundaries end in "z" so that no level's boundary is a prefix of another's.
std::string NestedMultiparts(int depth, bool closed, std::string_view leaf_body) {
  std::string m = "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=0z\r\n\r\n";
  for (int i = 0; i < depth; ++i) {
    m += "--" + std::to_string(i) +
         "z\r\nContent-Type: multipart/mixed; boundary=" + std::to_string(i + 1) + "z\r\n\r\n";
  }
  m += "--" + std::to_string(depth) + "z\r\nContent-Type: text/plain\r\n\r\n";
  m += leaf_body;
  if (closed) {
    for (int i = depth; i >= 0; --i) m += "--" + std::to_string(i) + "z--\r\n";
  }
  return m;
}

TEST_F(MimeRobustnessTest, NestingBeyondTheDepthLimitIsBodyText) {
  const std::string leaf = Crlf("deep text\n");
  constexpr int kDeepest = static_cast<int>(kMaxNestingDepth) - 1;  // multiparts 0..99 nest
  struct Row {
    const char* name;
    int depth;
    bool closed;
    std::size_t want_parts;
    bool leaf_is_the_part;  // else the part is the too-deep multipart, read as text
  };
  const std::vector<Row> rows = {
      {"at the limit", kDeepest, true, 1, true},
      {"one level beyond", kDeepest + 1, true, 1, false},
      {"a hundred thousand levels", kDepth, true, 1, false},
      {"a hundred thousand levels, none closed", kDepth, false, 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string message = NestedMultiparts(row.depth, row.closed, leaf);
    const mimetest::Scanned s = mimetest::ScanMessage(dir_, message);
    ASSERT_EQ(s.table.parts.size(), row.want_parts);
    if (row.want_parts == 0) continue;
    const PartEntry& part = s.table.parts[0];
    EXPECT_EQ(part.type + "/" + part.subtype, "text/plain");
    EXPECT_EQ(s.table.text_part_count, 1u);
    if (row.leaf_is_the_part) {
      EXPECT_EQ(part.body_offset, message.find(leaf));
      EXPECT_EQ(ReadMessageText(s.table, s.path, 4096), leaf);
      continue;
    }
    // Everything from the first boundary of the too-deep multipart up to its parent's closing
    // boundary is the body of that one part: the nested headers, boundaries and the leaf.
    const std::string limit = std::to_string(kMaxNestingDepth);
    const std::size_t begin = message.find("--" + limit + "z\r\n");
    const std::size_t end = message.find("--" + std::to_string(kDeepest) + "z--\r\n");
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(part.body_offset, begin);
    ASSERT_EQ(part.decoded_size, end - begin);
    const std::string text = ReadMessageText(s.table, s.path, end - begin);
    EXPECT_TRUE(text == message.substr(begin, end - begin));
    EXPECT_NE(text.find(leaf), std::string::npos);
  }
}

TEST_F(MimeRobustnessTest, PartsBeyondThePartLimitAreBodyLinesOfTheLastPart) {
  struct Row {
    const char* name;
    std::size_t parts;
  };
  const std::vector<Row> rows = {
      {"at the limit", kMaxParts}, {"one over", kMaxParts + 1}, {"a hundred thousand", 100'000}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string message = Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=m\n\n");
    std::vector<std::size_t> starts;  // of each part's boundary line
    for (std::size_t i = 0; i < row.parts; ++i) {
      starts.push_back(message.size());
      message += "--m\r\nContent-Type: text/plain\r\n\r\npart " + std::to_string(i) + "\r\n";
    }
    const std::size_t close = message.size();
    message += "--m--\r\n";
    const mimetest::Scanned s = mimetest::ScanMessage(dir_, message);
    const std::size_t kept = std::min(row.parts, kMaxParts);
    ASSERT_EQ(s.table.parts.size(), kept);
    // The closing boundary is still seen, and the last part kept holds the rest: the extra
    // boundaries, headers and bodies, decoded as far as the table goes.
    const PartEntry& last = s.table.parts.back();
    const std::size_t last_body =
        starts[kept - 1] + std::string("--m\r\nContent-Type: text/plain\r\n\r\n").size();
    EXPECT_EQ(last.body_offset, last_body);
    ASSERT_EQ(last.decoded_size, close - last_body);
    std::string buffer(last.decoded_size, '\0');
    std::size_t placed = 0;
    ASSERT_TRUE(DecodePartToMemory(last.body_offset, last.body_line_count, true,
                                   last.transfer_encoding, s.path, buffer.data(), buffer.size(),
                                   placed));
    EXPECT_TRUE(buffer == message.substr(last_body, close - last_body));
    EXPECT_EQ(s.table.parts[kept / 2].body_line_count, 1u);
  }
}

TEST_F(MimeRobustnessTest, TenThousandParts) {
  constexpr int kParts = 10000;
  std::string message =
      Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"=_many\"\n\n");
  std::vector<std::string> payloads;
  for (int i = 0; i < kParts; ++i) {
    payloads.push_back(mimetest::RandomBytes(static_cast<std::uint32_t>(i), i % 97));
    message +=
        "--=_many\r\nContent-Type: application/octet-stream\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        Base64EncodeLines(payloads.back());
  }
  message += "--=_many--\r\n";
  const mimetest::Scanned s = mimetest::ScanMessage(dir_, message);
  ASSERT_EQ(s.table.parts.size(), static_cast<std::size_t>(kParts));
  // None is named, so the first is the text and every other one an "A<n>.dat" attachment.
  EXPECT_EQ(s.table.text_part_count, 1u);
  for (int i = 0; i < kParts; ++i) {
    const PartEntry& part = s.table.parts[i];
    ASSERT_EQ(part.decoded_size, payloads[i].size()) << i;
    if (i > 0) {
      ASSERT_GT(part.body_offset, s.table.parts[i - 1].body_offset) << i;
      ASSERT_TRUE(part.name.starts_with("A") && part.name.ends_with(".dat")) << part.name;
    }
  }
  for (const int i : {1, kParts / 2, kParts - 1}) {
    SCOPED_TRACE(i);
    const PartEntry& part = s.table.parts[i];
    std::string buffer(part.decoded_size, '\0');
    std::size_t placed = 0;
    ASSERT_TRUE(DecodePartToMemory(part.body_offset, part.body_line_count, true,
                                   part.transfer_encoding, s.path, buffer.data(), buffer.size(),
                                   placed));
    EXPECT_TRUE(buffer == payloads[i]);
  }
}

TEST_F(MimeRobustnessTest, ThousandsOfForwardedMessagesAndUuencodedBlocks) {
  constexpr int kCount = 2000;
  std::string mime = Crlf("MIME-Version: 1.0\nContent-Type: multipart/digest; boundary=d\n\n");
  std::string plain = Crlf("Subject: blocks\n\n");
  for (int i = 0; i < kCount; ++i) {
    mime += "--d\r\n\r\nSubject: number " + std::to_string(i) + "\r\n\r\nbody\r\n";
    plain += "begin 644 f" + std::to_string(i) + "\r\n" + mimetest::UuencodeBlock("abc");
  }
  mime += "--d--\r\n";
  const mimetest::Scanned digest = mimetest::ScanMessage(dir_, mime);
  ASSERT_EQ(digest.table.parts.size(), static_cast<std::size_t>(kCount));
  EXPECT_EQ(digest.table.parts[kCount - 1].name, "number " + std::to_string(kCount - 1) + ".eml");
  const mimetest::Scanned blocks = mimetest::ScanMessage(dir_, plain);
  // Segment 0 (empty text) and the blocks; the empty texts between them are dropped.
  ASSERT_EQ(blocks.table.segments.size(), static_cast<std::size_t>(kCount + 1));
  EXPECT_EQ(blocks.table.uuencoded_count, static_cast<std::uint32_t>(kCount));
  EXPECT_EQ(blocks.table.segments[kCount].name, "f" + std::to_string(kCount - 1));
}

TEST_F(MimeRobustnessTest, TenMegabyteLines) {
  const std::string payload = mimetest::RandomBytes(5, 7'500'000);
  const std::string encoded = Base64Encode(payload) + "\r\n";  // one 10 MB line
  const std::string long_text(10'000'000, 'x');
  struct Row {
    const char* name;
    std::string message;
    std::string want_text;  // of ReadMessageText, limit 4096
  };
  const std::vector<Row> rows = {
      {"header line", "Subject: " + long_text + "\r\nMIME-Version: 1.0\r\n\r\nshort\r\n",
       "short\r\n"},
      {"plain body line", "Subject: x\r\n\r\n" + long_text + "\r\n", long_text.substr(0, 4096)},
      {"boundary line with 10 MB after it",
       Crlf("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n") + "--b" +
           long_text + "\r\n\r\nfirst\r\n--b--\r\n",
       "first\r\n"},
      {"begin line with a 10 MB name",
       "Subject: x\r\n\r\nbegin 644 " + long_text + "\r\n" + mimetest::UuencodeBlock("abc"), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const mimetest::Scanned s = mimetest::ScanMessage(dir_, row.message);
    EXPECT_TRUE(ReadMessageText(s.table, s.path, 4096) == row.want_text);
  }

  const std::string message =
      Crlf(
          "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n\ntext\n"
          "--b\nContent-Type: application/zip; name=big.zip\n"
          "Content-Transfer-Encoding: base64\n\n") +
      encoded + "--b--\r\n";
  const mimetest::Scanned s = mimetest::ScanMessage(dir_, message);
  ASSERT_EQ(s.table.parts.size(), 2u);
  const PartEntry& big = s.table.parts[1];
  EXPECT_EQ(big.body_line_count, 1u);
  ASSERT_EQ(big.decoded_size, payload.size());
  std::string buffer(payload.size(), '\0');
  std::size_t placed = 0;
  ASSERT_TRUE(DecodePartToMemory(big.body_offset, big.body_line_count, true,
                                 TransferEncoding::kBase64, s.path, buffer.data(), buffer.size(),
                                 placed));
  EXPECT_EQ(placed, payload.size());
  EXPECT_TRUE(buffer == payload);
}

}  // namespace
}  // namespace pelrion::mailformat
