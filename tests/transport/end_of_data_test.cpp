// The end-of-data line in the raw bytes of a message body.

#include "transport/end_of_data.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace pelrion::transport {
namespace {

struct FindCase {
  const char* name;
  std::string data;
  bool at_line_start;
  std::optional<EndOfData> want;
  std::size_t want_undecided;  // when nothing was found
};

void PrintTo(const FindCase& row, std::ostream* os) { *os << row.name; }

class EndOfDataTest : public ::testing::TestWithParam<FindCase> {};

TEST_P(EndOfDataTest, FindsTheDotLineOnlyAtALineStart) {
  const FindCase& row = GetParam();
  const std::optional<EndOfData> found = FindEndOfData(row.data, row.at_line_start);
  ASSERT_EQ(found.has_value(), row.want.has_value());
  if (found) {
    EXPECT_EQ(found->start, row.want->start);
    EXPECT_EQ(found->end, row.want->end);
  } else {
    EXPECT_EQ(UndecidedTail(row.data, row.at_line_start), row.want_undecided);
  }
}

const FindCase kCases[] = {
    {"AtTheStart", ".\r\nQUIT\r\n", true, EndOfData{0, 3}, 0},
    {"NotAtALineStart", ".\r\nmore", false, std::nullopt, 0},
    {"AfterALine", "text\r\n.\r\nQUIT\r\n", false, EndOfData{6, 9}, 0},
    {"BareLineFeedEnd", "text\n.\nRSET\r\n", false, EndOfData{5, 7}, 0},
    {"StuffedDotsAreText", "..\r\n..text\r\n", true, std::nullopt, 0},
    {"DotInsideALine", "a.\r\nb .\r\n", true, std::nullopt, 0},
    {"FirstOfTwo", "x\r\n.\r\n.\r\n", false, EndOfData{3, 6}, 0},
    {"DotWaitingForItsLineEnd", "text\r\n.", false, std::nullopt, 1},
    {"DotAndCarriageReturnWaiting", "text\r\n.\r", false, std::nullopt, 2},
    {"LoneDotAtALineStart", ".", true, std::nullopt, 1},
    {"LoneDotMidLine", ".", false, std::nullopt, 0},
    {"DotTextIsDecided", "text\r\n.x", false, std::nullopt, 0},
    {"PartialLineIsDecided", "text\r\nhalf a li", false, std::nullopt, 0},
};

INSTANTIATE_TEST_SUITE_P(Bodies, EndOfDataTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FindCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace pelrion::transport
