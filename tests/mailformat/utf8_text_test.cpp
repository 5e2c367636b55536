// Raw 8-bit texts turned into UTF-8: well-formed sequences kept, every other byte read as
// Latin-1, so the result is always UTF-8 and each byte can be told back.
#include <string>

#include <gtest/gtest.h>

#include "mailformat/utf8_text.h"

namespace pelrion::mailformat {
namespace {

struct Utf8Case {
  std::string label;
  std::string bytes;
  bool valid;
  std::string text;
};

class Utf8TextTest : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8TextTest, KeepsUtf8AndMapsEveryOtherByteToItsCodePoint) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(IsValidUtf8(c.bytes), c.valid);
  const std::string text = Utf8FromBytes(c.bytes);
  EXPECT_EQ(text, c.text);
  EXPECT_TRUE(IsValidUtf8(text));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8TextTest,
    testing::Values(
        Utf8Case{"empty", "", true, ""},
        Utf8Case{"ascii_and_controls", std::string("a\0\x7F", 3), true, std::string("a\0\x7F", 3)},
        Utf8Case{"two_bytes", "\xC3\xA9", true, "\xC3\xA9"},
        Utf8Case{"three_bytes", "\xE2\x82\xAC", true, "\xE2\x82\xAC"},
        Utf8Case{"four_bytes_highest", "\xF4\x8F\xBF\xBF", true, "\xF4\x8F\xBF\xBF"},
        Utf8Case{"latin1_byte", "caf\xE9", false, "caf\xC3\xA9"},
        Utf8Case{"range_ends", "\x80\xFF", false, "\xC2\x80\xC3\xBF"},
        Utf8Case{"overlong_two", "\xC0\xAF", false, "\xC3\x80\xC2\xAF"},
        Utf8Case{"overlong_three", "\xE0\x80\xAF", false, "\xC3\xA0\xC2\x80\xC2\xAF"},
        Utf8Case{"surrogate", "\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xC2\x80"},
        Utf8Case{"above_unicode", "\xF4\x90\x80\x80", false,
                 "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},
        Utf8Case{"cut_at_end", "ab\xE2\x82", false, "ab\xC3\xA2\xC2\x82"},
        Utf8Case{"lead_then_ascii", "\xC3" "A", false, "\xC3\x83" "A"},
        Utf8Case{"valid_after_invalid", "\xFF\xC3\xA9", false, "\xC3\xBF\xC3\xA9"}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return info.param.label; });

}  // namespace
}  // namespace pelrion::mailformat
