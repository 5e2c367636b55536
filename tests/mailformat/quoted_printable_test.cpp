#include "mailformat/quoted_printable.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::mailformat {
namespace {

using namespace std::string_literals;

TEST(QuotedPrintableEncodeTest, Table) {
  const std::string letters75(75, 'a');
  struct Row {
    const char* name;
    std::string input;
    std::string want;
  };
  const std::vector<Row> rows = {
      {"empty", "", ""},
      {"full stop", "a.b", "a=2Eb"},
      {"tab", "x\t", "x=09"},
      {"space before CR LF", "a \r\nb", "a=20\r\nb"},
      {"space elsewhere kept", "a b ", "a b "},
      {"equals sign", "1=2", "1=3D2"},
      {"lone LF", "a\nb", "a=0Ab"},
      {"lone CR at the end", "a\r", "a=0D"},
      {"CR before CR LF", "\r\r\n", "=0D\r\n"},
      {"zero, DEL and high bytes", "\0\x7f\x80\xe9\xff"s, "=00=7F=80=E9=FF"},
      {"80 letters", std::string(80, 'a'), letters75 + "=\r\n" + std::string(5, 'a')},
      {"75 letters fit", letters75, letters75},
      {"encoded byte at column 72 fits", std::string(72, 'a') + "\xe9",
       std::string(72, 'a') + "=E9"},
      {"encoded byte at column 73 breaks first", std::string(73, 'a') + "\xe9" + "b",
       std::string(73, 'a') + "=\r\n=E9b"},
      {"CR LF resets the column", std::string(70, 'a') + "\r\n" + std::string(10, 'b'),
       std::string(70, 'a') + "\r\n" + std::string(10, 'b')},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(QuotedPrintableEncode(row.input), row.want);
    std::string in_place = row.input;
    QuotedPrintableEncodeInPlace(in_place);
    EXPECT_EQ(in_place, row.want);
  }
}

TEST(QuotedPrintableEncodeTest, AllEncodedInputGetsASoftBreakEvery25Bytes) {
  // 250 encoded bytes: ten lines of 75 characters joined by nine soft breaks.
  const std::string out = QuotedPrintableEncode(std::string(250, '\xff'));
  EXPECT_EQ(out.size(), 250u * 3 + 9 * 3);
  std::string first_line;
  for (int i = 0; i < 25; ++i) first_line += "=FF";
  EXPECT_EQ(out.substr(0, 78), first_line + "=\r\n");
}

std::string RandomMailText(std::mt19937& rng, std::size_t n) {
  // Biased towards the bytes the encoder treats specially.
  static const std::string kSpecial = "\r\n \t.=\x7f\x80\xff\0"s;
  std::uniform_int_distribution<int> kind(0, 3);
  std::uniform_int_distribution<int> special(0, static_cast<int>(kSpecial.size()) - 1);
  std::uniform_int_distribution<int> printable(0x21, 0x7e);
  std::uniform_int_distribution<int> any(0, 255);
  std::string s;
  s.reserve(n);
  while (s.size() < n) {
    switch (kind(rng)) {
      case 0:
        s += kSpecial[special(rng)];
        break;
      case 1:
        s += "\r\n";
        break;
      case 2:
        s += static_cast<char>(any(rng));
        break;
      default:
        s += static_cast<char>(printable(rng));
        break;
    }
  }
  return s;
}

TEST(QuotedPrintableRoundTripTest, EncodeThenDecodeLineByLine) {
  std::mt19937 rng(4711);
  for (int round = 0; round < 300; ++round) {
    const std::string data = RandomMailText(rng, static_cast<std::size_t>(round * 3));
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string encoded = QuotedPrintableEncode(data);

    std::string decoded;
    std::size_t begin = 0;
    while (begin < encoded.size()) {
      std::size_t end = encoded.find("\r\n", begin);
      const bool last = end == std::string::npos;
      if (last) end = encoded.size();
      const std::string_view line = std::string_view(encoded).substr(begin, end - begin);
      ASSERT_LE(line.size(), 76u) << line;
      ASSERT_FALSE(line.starts_with(".")) << line;
      for (unsigned char c : line) ASSERT_TRUE(c >= 0x20 && c < 0x7f) << "raw byte " << int(c);
      const std::size_t before = decoded.size();
      const std::size_t produced = QuotedPrintableDecodeLine(line, decoded);
      ASSERT_EQ(decoded.size() - before, produced);
      // The last line had no CR LF in the input: drop the one the decoder restores.
      if (last) decoded.resize(decoded.size() - 2);
      begin = end + 2;
    }
    EXPECT_EQ(decoded, data);
  }
}

TEST(QuotedPrintableDecodeLineTest, Table) {
  struct Row {
    const char* name;
    std::string line;
    std::string want;
  };
  const std::vector<Row> rows = {
      {"escape and line end", "caf=E9", "caf\xe9\r\n"},
      {"lower-case escape", "caf=e9", "caf\xe9\r\n"},
      {"soft break", "abc=", "abc"},
      {"soft break after an escape", "=3D=", "="},
      {"equals alone is a soft break", "=", ""},
      {"non-hex characters count as zero", "=zz", "\0\r\n"s},
      {"one non-hex character", "=z9", "\x09\r\n"},
      {"empty line", "", "\r\n"},
      {"plain text", "Hello, world.", "Hello, world.\r\n"},
      {"high bytes copied", "\xe9\xff", "\xe9\xff\r\n"},
      {"single character after equals kept", "a=4", "a=4\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string out = "x";
    const std::size_t produced = QuotedPrintableDecodeLine(row.line, out);
    EXPECT_EQ(out, "x" + row.want);
    EXPECT_EQ(produced, row.want.size());
    EXPECT_EQ(QuotedPrintableDecodedSize(row.line), row.want.size());
  }
}

// The line decoder as it was before it copied runs between "=" at once: the oracle below.
std::string ReferenceDecodeLine(std::string_view line) {
  const auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
  };
  std::string out;
  const std::size_t n = line.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (line[i] != '=') {
      out += line[i];
    } else if (i + 1 == n) {
      return out;  // soft break
    } else if (i + 2 < n) {
      out += static_cast<char>(hex(line[i + 1]) << 4 | hex(line[i + 2]));
      i += 2;
    } else {
      out += line.substr(i, 2);
      i += 1;
    }
  }
  return out + "\r\n";
}

// Random lines thick with "=" in every position, hex and non-hex digits, high bytes.
TEST(QuotedPrintableDecodeLineTest, RandomLinesAgreeWithReferenceAndSizeCount) {
  std::mt19937 rng(9090);
  const std::string pool = "=====AF09azZ \t\xe9\x00.\r"s;
  for (int i = 0; i < 20000; ++i) {
    std::string line(std::uniform_int_distribution<std::size_t>(0, 90)(rng), ' ');
    for (char& c : line) c = rng() % 4 == 0 ? static_cast<char>(rng()) : pool[rng() % pool.size()];
    SCOPED_TRACE("line " + std::to_string(i));
    const std::string want = ReferenceDecodeLine(line);
    std::string out = "x";
    ASSERT_EQ(QuotedPrintableDecodeLine(line, out), want.size());
    ASSERT_EQ(out, "x" + want);
    ASSERT_EQ(QuotedPrintableDecodedSize(line), want.size());
  }
}

}  // namespace
}  // namespace pelrion::mailformat
