#include "mailformat/uuencode.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(UudecodeLine(std::string_view(buffer).substr(0, row.line.size()), out), row.want);
    EXPECT_EQ(out, "x") << "nothing may be appended";
  }
}

TEST(UudecodeLineTest, FullLineOf60DataCharactersGives45Bytes) {
  std::string out;
  EXPECT_EQ(UudecodeLine("M" + std::string(60, '!'), out), 45);
  // "!!!!" is 1,1,1,1 in sextets: 0x04 0x10 0x41 repeated.
  EXPECT_EQ(out.size(), 45u);
  EXPECT_EQ(out.substr(0, 3), "\x04\x10\x41");
}

}  // namespace
}  // namespace pelrion::mailformat
