#include "mailformat/mime_identifiers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/random.h"

namespace pelrion::mailformat {
namespace {

bool IsUpperHex(std::string_view text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// The first generator value after seeding, so the random field can be checked.
int FirstRandAfterSeed(std::uint32_t seed) {
  platform::SeedRand(seed);
  return platform::Rand();
}

TEST(MakeBoundaryTest, CounterFieldCountsUpPerMessage) {
  int counter = 0;
  const char* const want_counter[] = {"00", "01", "02"};
  for (const char* want : want_counter) {
    SCOPED_TRACE(want);
    const std::string boundary = MakeBoundary(counter);
    ASSERT_EQ(boundary.size(), 25u) << boundary;
    EXPECT_EQ(boundary.substr(0, 14), "----=NextPart_");
    EXPECT_EQ(boundary.substr(14, 2), want);
    EXPECT_EQ(boundary[16], '_');
    EXPECT_TRUE(IsUpperHex(boundary.substr(17))) << boundary;
  }
  EXPECT_EQ(counter, 3);

  counter = 100;
  EXPECT_EQ(MakeBoundary(counter).substr(14, 4), "100_");
  EXPECT_EQ(counter, 101);
}

TEST(MakeBoundaryTest, RandomFieldTakesTheGeneratorInItsHighBits) {
  const std::uint32_t seed = 12345;
  const int first = FirstRandAfterSeed(seed);
  ASSERT_NE(first, 0);
  platform::SeedRand(seed);
  int counter = 0;
  const std::string boundary = MakeBoundary(counter);
  EXPECT_EQ(std::stoul(boundary.substr(17), nullptr, 16) >> 16, static_cast<unsigned>(first));
}

TEST(MakeContentIdTest, PrefixAndEightHexDigits) {
  struct Row {
    const char* name;
    std::string prefix;
  };
  const Row rows[] = {{"image prefix", "IMG"}, {"empty prefix", ""}, {"long prefix", "part.1."}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::uint32_t seed = 777;
    const int first = FirstRandAfterSeed(seed);
    platform::SeedRand(seed);
    const std::string id = MakeContentId(row.prefix);
    ASSERT_EQ(id.size(), row.prefix.size() + 8) << id;
    EXPECT_EQ(id.substr(0, row.prefix.size()), row.prefix);
    const std::string digits = id.substr(row.prefix.size());
    EXPECT_TRUE(IsUpperHex(digits)) << id;
    // The high 16 bits are the generator's value (0..32767), so the first digit is 0..7.
    EXPECT_EQ(std::stoul(digits, nullptr, 16) >> 16, static_cast<unsigned>(first));
  }
}

}  // namespace
}  // namespace pelrion::mailformat
