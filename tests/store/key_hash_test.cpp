#include "store/key_hash.h"

#include <gtest/gtest.h>

#include <string>

namespace pelrion::store {
namespace {

struct BucketCase {
  const char* name;
  std::uint32_t key;
  std::uint32_t want;
};

class BucketOfTest : public ::testing::TestWithParam<BucketCase> {};

TEST_P(BucketOfTest, MultipliesThenKeepsTheTopElevenBits) {
  EXPECT_EQ(BucketOf(GetParam().key), GetParam().want);
}

// Expected numbers worked out from (k * 618033988 mod 2^32) >> 21, 2^21 = 2097152.
INSTANTIATE_TEST_SUITE_P(
    Cases, BucketOfTest,
    ::testing::Values(BucketCase{"Zero", 0, 0},
                      // 618033988 / 2097152 = 294.7
                      BucketCase{"One", 1, 294},
                      // 1236067976 / 2097152 = 589.4
                      BucketCase{"Two", 2, 589},
                      // 2^32 - 618033988 = 3676933308; / 2097152 = 1753.3
                      BucketCase{"AllOnes", 0xFFFFFFFF, 1753},
                      // 0x32000123 * 618033988 mod 2^32 = 667223628; / 2097152 = 318.2
                      BucketCase{"FoldOfAbcd", 0x32000123, 318}),
    [](const auto& info) { return std::string(info.param.name); });

struct FoldCase {
  const char* name;
  std::string text;
  std::uint32_t want;
};

class FoldTextTest : public ::testing::TestWithParam<FoldCase> {};

TEST_P(FoldTextTest, XorsEachByteAtTheRotatingShift) {
  EXPECT_EQ(FoldText(GetParam().text), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FoldTextTest,
    ::testing::Values(
        FoldCase{"Empty", "", 0},
        // 'a' << 2 = 0x184
        FoldCase{"OneByte", "a", 0x184},
        // 0x184 ^ ('b' << 1 = 0xC4) ^ ('c' << 0 = 0x63) ^ ('d' << 23 = 0x32000000)
        FoldCase{"WrapsFromZeroTo23", "abcd", 0x32000123},
        // 0xFF << 23 keeps its top bit inside 32 bits
        FoldCase{"HighByteAtShift23", std::string("\x00\x00\x00\xFF", 4), 0x7F800000},
        // 27 bytes of 1 at shifts 2,1,0,23..0: bits 0-2 twice (cancel), bits 3-23 once
        FoldCase{"FullCycle", std::string(27, '\x01'), 0xFFFFF8},
        // the 28th byte is at shift 23 again and clears bit 23
        FoldCase{"SecondWrap", std::string(28, '\x01'), 0x7FFFF8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BucketOfTextTest, IsTheFoldThroughTheSameStep) {
  EXPECT_EQ(BucketOfText("abcd"), 318u);
  EXPECT_LT(BucketOfText("someone@example.com"), kHashBuckets);
}

}  // namespace
}  // namespace pelrion::store
