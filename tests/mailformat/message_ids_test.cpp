#include "mailformat/message_ids.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelrion::mailformat {
namespace {

TEST(IsOwnMessageIdTest, Values) {
  struct Row {
    const char* name;
    const char* value;
    bool want;
  };
  const Row rows[] = {
      {"RequestForm", "<KVX.R.S-abc.0011223344556677@host>", true},
      {"RelayForm", "<KVX.U-USR0000ABCD.S-abc.0011223344556677@host>", true},
      {"SpacesBetweenPrefixCharacters", "< K V X . R@h>", true},
      {"TabsAndLineBreaksBetween", "<\tKVX\r\n.x@h>", true},
      {"AtRightAfterDot", "<KVX.@", true},
      {"LowerCaseLetters", "<kvx.R@h>", false},
      {"OtherLetters", "<KVY.R@h>", false},
      {"NoAt", "<KVX.R.S-abc>", false},
      {"AtOnlyBeforeDot", "<KVX@h.x>", false},
      {"NoDot", "<KVX@h>", false},
      {"LeadingSpace", " <KVX.R@h>", false},
      {"NoAngle", "KVX.R@h", false},
      {"ForeignId", "<20051206100000.ABC123@mail.example.org>", false},
      {"Truncated", "<KV", false},
      {"Empty", "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsOwnMessageId(row.value), row.want);
  }
}

struct PairsRow {
  std::string name;
  std::string value;
  std::vector<std::string> names;
  std::vector<std::string> values;
};

class SplitDottedPairsTest : public testing::TestWithParam<PairsRow> {};

TEST_P(SplitDottedPairsTest, Splits) {
  const DottedPairs got = SplitDottedPairs(GetParam().value);
  EXPECT_EQ(got.names, GetParam().names);
  EXPECT_EQ(got.values, GetParam().values);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SplitDottedPairsTest,
    testing::Values(PairsRow{"RequestId",
                             "<KVX.R.S-c2lnbmF0dXJl.0011223344556677@host>",
                             {"R", "S"},
                             {"", "c2lnbmF0dXJl"}},
                    PairsRow{"RelayId",
                             "<KVX.U-USR0000ABCD.S-sig.00112233AABBCCDD@host>",
                             {"U", "S"},
                             {"USR0000ABCD", "sig"}},
                    PairsRow{"WhiteSpaceRemovedEverywhere",
                             " <KVX . R . S-a b\tc . 00@h>",
                             {"R", "S"},
                             {"", "abc"}},
                    PairsRow{"ValueKeepsLaterDashes", "<KVX.a-b-c.x@h>", {"a"}, {"b-c"}},
                    PairsRow{"SegmentEndingAtAtNotTaken", "<KVX.abc@h>", {}, {}},
                    PairsRow{"DotsAfterAtIgnored", "<KVX.R.x@h.example.org>", {"R"}, {""}},
                    PairsRow{"EmptySegment", "<KVX..x@h>", {""}, {""}},
                    PairsRow{"EmptyName", "<KVX.-v.x@h>", {""}, {"v"}}),
    [](const testing::TestParamInfo<PairsRow>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Malformed, SplitDottedPairsTest,
    testing::Values(PairsRow{"NoAt", "<KVX.R.S-x.y>", {}, {}}, PairsRow{"NoDot", "<KVX@h>", {}, {}},
                    PairsRow{"AtBeforeFirstDot", "<KVX@h.R.S-x.y>", {}, {}},
                    PairsRow{"OnlyWhiteSpace", " \t\r\n", {}, {}}, PairsRow{"Empty", "", {}, {}}),
    [](const testing::TestParamInfo<PairsRow>& info) { return info.param.name; });

}  // namespace
}  // namespace pelrion::mailformat
