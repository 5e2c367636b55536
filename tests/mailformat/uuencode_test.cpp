#include "mailformat/uuencode.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::mailformat {
namespace {

using namespace std::string_literals;

std::string Bytes0To44() {
  std::string s;
  for (int i = 0; i < 45; ++i) s += static_cast<char>(i);
  return s;
}

// Lines produced by Python's binascii.b2a_uu (with and without backtick=True), line end cut.
TEST(UudecodeLineTest, DecodesLinesOfAnIndependentEncoder) {
  struct Row {
    const char* name;
    std::string line;
    std::string want;
  };
  const std::vector<Row> rows = {
      {"one byte, backquote padding", "!80``", "a"},
      {"one byte, space padding", "!80  ", "a"},
      {"two bytes", "\"86(`", "ab"},
      {"three bytes", "#86)C", "abc"},
      {"Cat", "#0V%T", "Cat"},
      {"zero and high bytes, backquotes", "$`/^`?P``", "\0\xff\x80\x7f"s},
      {"zero and high bytes, spaces", "$ /^ ?P  ", "\0\xff\x80\x7f"s},
      {"text with LF", ",:&5L;&\\@=V]R;&0*", "hello world\n"},
      {"full line of 45, backquotes",
       "M``$\"`P0%!@<(\"0H+#`T.#Q`1$A,4%187&!D:&QP='A\\@(2(C)\"4F)R@I*BLL", Bytes0To44()},
      {"full line of 45, spaces",
       "M  $\" P0%!@<(\"0H+# T.#Q 1$A,4%187&!D:&QP='A\\@(2(C)\"4F)R@I*BLL", Bytes0To44()},
      {"characters after the groups ignored", "#86)CXYZ", "abc"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string out = "x";
    EXPECT_EQ(UudecodeLine(row.line, out), static_cast<int>(row.want.size()));
    EXPECT_EQ(UudecodedLineSize(row.line), static_cast<int>(row.want.size()));
    EXPECT_EQ(out, "x" + row.want);
  }
}

TEST(UudecodeLineTest, RejectsMalformedAndZeroLengthLines) {
  struct Row {
    const char* name;
    std::string line;
    int want;
  };
  const std::vector<Row> rows = {
      {"backquote count", "`", kUudecodeZeroLength},
      {"space count", " ", kUudecodeZeroLength},
      {"backquote count with data", "`abcd", kUudecodeZeroLength},
      {"empty line", "", kUudecodeMalformed},
      {"count of 46", "N" + std::string(64, '!'), kUudecodeMalformed},
      {"count below space",
       "\x1f"
       "80``",
       kUudecodeMalformed},
      {"character above backquote", "#86)a", kUudecodeMalformed},
      {"control character in data",
       "#86\t"
       "C",
       kUudecodeMalformed},
      {"high byte in data",
       "#86\xe9"
       "C",
       kUudecodeMalformed},
      {"group cut short", "#86)", kUudecodeMalformed},
      {"count only", "!", kUudecodeMalformed},
      // 60 characters pass a check of 4 * floor((45 + 1) / 3) but lack the last data char.
      {"full count one character short", "M" + std::string(59, '!'), kUudecodeMalformed},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // Valid data characters follow the line in memory: they must not be read.
    const std::string buffer = row.line + std::string(64, '!');
    std::string out = "x";
    const std::string_view line = std::string_view(buffer).substr(0, row.line.size());
    EXPECT_EQ(UudecodeLine(line, out), row.want);
    EXPECT_EQ(out, "x") << "nothing may be appended";
    EXPECT_EQ(UudecodedLineSize(line), row.want);
  }
}

TEST(UudecodeLineTest, FullLineOf60DataCharactersGives45Bytes) {
  std::string out;
  EXPECT_EQ(UudecodeLine("M" + std::string(60, '!'), out), 45);
  // "!!!!" is 1,1,1,1 in sextets: 0x04 0x10 0x41 repeated.
  EXPECT_EQ(out.size(), 45u);
  EXPECT_EQ(out.substr(0, 3), "\x04\x10\x41");
}

// The decoder as it was before its table lookups: the oracle for the random lines below.
int ReferenceUudecode(std::string_view line, std::string& out) {
  if (line.empty()) return kUudecodeMalformed;
  const int n = static_cast<unsigned char>(line[0]) - ' ';
  if (n >= 0 && n % 64 == 0) return kUudecodeZeroLength;
  if (n < 1 || n > 45) return kUudecodeMalformed;
  const std::size_t groups = static_cast<std::size_t>(n + 2) / 3;
  if (line.size() < static_cast<std::size_t>(4 * ((n + 1) / 3)) || line.size() < 1 + 4 * groups) {
    return kUudecodeMalformed;
  }
  std::string decoded;
  for (std::size_t g = 0; g < groups; ++g) {
    unsigned v = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const auto c = static_cast<unsigned char>(line[1 + 4 * g + k]);
      if (c < ' ' || c > '`') return kUudecodeMalformed;
      v = (v << 6) | ((c - ' ') & 63u);
    }
    decoded += static_cast<char>(v >> 16);
    decoded += static_cast<char>(v >> 8);
    decoded += static_cast<char>(v);
  }
  out.append(decoded, 0, static_cast<std::size_t>(n));
  return n;
}

TEST(UudecodeLineTest, RandomLinesAgreeWithReferenceAndSizeCount) {
  std::mt19937 rng(515);
  std::uniform_int_distribution<int> percent(0, 99);
  for (int i = 0; i < 20000; ++i) {
    // Mostly characters of the line format around a plausible count; sometimes any byte.
    const int count = std::uniform_int_distribution<int>(0, 50)(rng);
    std::string line(1, static_cast<char>(' ' + count));
    const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 66)(rng);
    for (std::size_t k = 0; k < length; ++k) {
      line += percent(rng) < 97 ? static_cast<char>(' ' + rng() % 65) : static_cast<char>(rng());
    }
    SCOPED_TRACE("line " + std::to_string(i));
    std::string want = "x";
    std::string got = "x";
    const int result = ReferenceUudecode(line, want);
    ASSERT_EQ(UudecodeLine(line, got), result);
    ASSERT_EQ(got, want);
    ASSERT_EQ(UudecodedLineSize(line), result);
  }
}

}  // namespace
}  // namespace pelrion::mailformat
