#include "mailformat/protocol_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelrion::mailformat {
namespace {

struct SplitCase {
  const char* name;
  std::string line;
  std::vector<std::string> words;
};

class SplitBySpaceTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitBySpaceTest, SplitsAtEverySpace) {
  const SplitCase& c = GetParam();
  EXPECT_EQ(SplitBySpace(c.line), c.words) << "line: " << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitBySpaceTest,
    testing::Values(SplitCase{"Command", "STAT", {"STAT"}},
                    SplitCase{"CommandWithCrLf", "STAT\r\n", {"STAT"}},
                    SplitCase{"TwoArguments", "+OK 3 1200\r\n", {"+OK", "3", "1200"}},
                    SplitCase{"DoubleSpaceGivesEmptyWord", "LIST  1", {"LIST", "", "1"}},
                    SplitCase{"TrailingSpaceGivesEmptyLastWord", "LIST \r\n", {"LIST", ""}},
                    SplitCase{"LeadingSpace", " USER bob", {"", "USER", "bob"}},
                    SplitCase{"TabIsNotASeparator", "USER\tbob", {"USER\tbob"}},
                    SplitCase{"InnerWordsKeepTheirWhiteSpace", "a\t b", {"a\t", "b"}},
                    SplitCase{"OnlyLastWordTrimmed", "a\r b\t\r\n", {"a\r", "b"}},
                    SplitCase{"EmptyLine", "", {""}}, SplitCase{"OnlyWhiteSpace", "\r\n", {""}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

struct IntCase {
  const char* name;
  std::string text;
  int radix;
  std::int32_t want;
};

class ParseStrictIntTest : public testing::TestWithParam<IntCase> {};

TEST_P(ParseStrictIntTest, ReadsWholeText) {
  const IntCase& c = GetParam();
  EXPECT_EQ(ParseStrictInt(c.text, c.radix), c.want) << "text: '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseStrictIntTest,
    testing::Values(
        IntCase{"Decimal", "42", 10, 42}, IntCase{"Negative", "-17", 10, -17},
        IntCase{"PlusSign", "+17", 10, 17}, IntCase{"LeadingWhiteSpace", " \t\r\n12", 10, 12},
        IntCase{"Zero", "0", 10, 0}, IntCase{"NegativeZero", "-0", 10, 0},
        IntCase{"EmptyIsZero", "", 10, 0}, IntCase{"LargestAccepted", "2147483646", 10, 2147483646},
        IntCase{"SmallestAccepted", "-2147483647", 10, -2147483647},
        IntCase{"LargestValueIsOverflow", "2147483647", 10, NotAnInteger},
        IntCase{"SmallestValueIsOverflow", "-2147483648", 10, NotAnInteger},
        IntCase{"PastLargest", "2147483648", 10, NotAnInteger},
        IntCase{"Huge", "99999999999999999999999999999", 10, NotAnInteger},
        IntCase{"HugeNegative", "-99999999999999999999999999999", 10, NotAnInteger},
        IntCase{"TrailingSpace", "12 ", 10, NotAnInteger},
        IntCase{"TrailingLetters", "12abc", 10, NotAnInteger},
        IntCase{"TrailingCrLf", "12\r\n", 10, NotAnInteger},
        IntCase{"OnlySpaces", "   ", 10, NotAnInteger}, IntCase{"OnlySign", "-", 10, NotAnInteger},
        IntCase{"Letters", "abc", 10, NotAnInteger},
        IntCase{"SpaceAfterSign", "- 1", 10, NotAnInteger},
        IntCase{"InnerSpace", "1 2", 10, NotAnInteger},
        IntCase{"EightBitByte", "1\xE9", 10, NotAnInteger}, IntCase{"Hex", "ff", 16, 255},
        IntCase{"HexUpperCase", "FF", 16, 255}, IntCase{"HexPrefix", "0x1A", 16, 26},
        IntCase{"HexPrefixNegative", "-0X10", 16, -16},
        IntCase{"HexPrefixWithoutDigits", "0x", 16, NotAnInteger},
        IntCase{"HexDigitInDecimal", "1a", 10, NotAnInteger}, IntCase{"Octal", "17", 8, 15},
        IntCase{"OctalRejectsEight", "8", 8, NotAnInteger}, IntCase{"Binary", "101", 2, 5},
        IntCase{"Base36", "z", 36, 35}, IntCase{"AutoRadixDecimal", "19", 0, 19},
        IntCase{"AutoRadixOctal", "017", 0, 15}, IntCase{"AutoRadixHex", "0x1f", 0, 31},
        IntCase{"RadixOneRefused", "1", 1, NotAnInteger},
        IntCase{"RadixTooLarge", "1", 37, NotAnInteger}),
    [](const testing::TestParamInfo<IntCase>& info) { return std::string(info.param.name); });

struct UnsignedCase {
  const char* name;
  std::string text;
  std::uint32_t want;
};

class ParseStrictUnsignedTest : public testing::TestWithParam<UnsignedCase> {};

TEST_P(ParseStrictUnsignedTest, ReadsWholeText) {
  const UnsignedCase& c = GetParam();
  EXPECT_EQ(ParseStrictUnsigned(c.text), c.want) << "text: '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseStrictUnsignedTest,
    testing::Values(UnsignedCase{"Number", "123456", 123456u},
                    UnsignedCase{"AboveSignedRange", "3000000000", 3000000000u},
                    UnsignedCase{"LargestAccepted", "4294967294", 4294967294u},
                    UnsignedCase{"LeadingWhiteSpace", "  7", 7u},
                    UnsignedCase{"PlusSign", "+7", 7u},
                    UnsignedCase{"LargestValueRefused", "4294967295", 0u},
                    UnsignedCase{"OverflowRefused", "4294967296", 0u},
                    UnsignedCase{"HugeRefused", "123456789012345678901234567890", 0u},
                    UnsignedCase{"ZeroRefused", "0", 0u}, UnsignedCase{"EmptyRefused", "", 0u},
                    UnsignedCase{"MinusRefused", "-5", 0u},
                    UnsignedCase{"TrailingCharacters", "12]", 0u},
                    UnsignedCase{"TrailingSpace", "12 ", 0u},
                    UnsignedCase{"HexNotRead", "0x10", 0u}, UnsignedCase{"OnlySign", "+", 0u}),
    [](const testing::TestParamInfo<UnsignedCase>& info) { return std::string(info.param.name); });

struct IndexCase {
  const char* name;
  std::string text;
  std::int32_t limit;
  std::int32_t want;
};

class ParseIndexTest : public testing::TestWithParam<IndexCase> {};

TEST_P(ParseIndexTest, AcceptsOneToLimit) {
  const IndexCase& c = GetParam();
  EXPECT_EQ(ParseIndex(c.text, c.limit), c.want) << "text: '" << c.text << "' limit " << c.limit;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseIndexTest,
    testing::Values(IndexCase{"First", "1", 5, 1}, IndexCase{"Last", "5", 5, 5},
                    IndexCase{"PastLast", "6", 5, 0}, IndexCase{"Zero", "0", 5, 0},
                    IndexCase{"Negative", "-1", 5, 0}, IndexCase{"EmptyList", "1", 0, 0},
                    IndexCase{"NotANumber", "one", 5, 0}, IndexCase{"Empty", "", 5, 0},
                    IndexCase{"HexNotAccepted", "0x2", 5, 0},
                    IndexCase{"Overflow", "2147483647", 2147483647, 0},
                    IndexCase{"LargeLimit", "2147483646", 2147483647, 2147483646}),
    [](const testing::TestParamInfo<IndexCase>& info) { return std::string(info.param.name); });

struct ReplyCase {
  const char* name;
  std::string line;
  std::int32_t code;
  bool positive;
};

class ReplyLineTest : public testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyLineTest, CodeAndStatus) {
  const ReplyCase& c = GetParam();
  EXPECT_EQ(ReplyCodeOf(c.line), c.code) << "line: '" << c.line << "'";
  EXPECT_EQ(IsPositiveReply(c.line), c.positive) << "line: '" << c.line << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReplyLineTest,
    testing::Values(ReplyCase{"SmtpFinal", "250 OK\r\n", 250, false},
                    ReplyCase{"SmtpContinuation", "250-PIPELINING", 250, false},
                    ReplyCase{"SmtpNoText", "354", 354, false},
                    ReplyCase{"ShortLine", "25", 25, false}, ReplyCase{"EmptyLine", "", 0, false},
                    ReplyCase{"LetterInCode", "2x0 OK", NotAnInteger, false},
                    ReplyCase{"Pop3Positive", "+OK 2 320", NotAnInteger, true},
                    ReplyCase{"Pop3PositiveBare", "+OK", NotAnInteger, true},
                    ReplyCase{"Pop3Negative", "-ERR no such message", NotAnInteger, false},
                    ReplyCase{"Pop3LowerCase", "+ok", NotAnInteger, false},
                    ReplyCase{"Pop3Truncated", "+O", NotAnInteger, false}),
    [](const testing::TestParamInfo<ReplyCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelrion::mailformat
