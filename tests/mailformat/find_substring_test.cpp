#include "mailformat/find_substring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace pelrion::mailformat {
namespace {

struct FindCase {
  const char* name;
  std::string pattern;
  std::string text;
  std::uint32_t multiplier;
  std::ptrdiff_t want;
};

class FindSubstringTest : public testing::TestWithParam<FindCase> {};

TEST_P(FindSubstringTest, FindsFirstOccurrence) {
  const FindCase& c = GetParam();
  EXPECT_EQ(FindSubstring(c.pattern, c.text, c.multiplier), c.want)
      << "pattern '" << c.pattern << "' in '" << c.text << "' multiplier " << c.multiplier;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindSubstringTest,
    testing::Values(FindCase{"CodeInReply", "483920", "Re: your code is 483920, thanks", 257, 17},
                    FindCase{"AtStart", "abc", "abcabc", 257, 0},
                    FindCase{"AtEnd", "xyz", "abcxyz", 257, 3},
                    FindCase{"WholeText", "same", "same", 257, 0},
                    FindCase{"FirstOfSeveral", "ab", "xxabyyab", 31, 2},
                    FindCase{"Overlapping", "aaa", "aaaaa", 31, 0},
                    FindCase{"Absent", "123456", "654321 123455", 257, -1},
                    FindCase{"EmptyPattern", "", "anything", 257, 0},
                    FindCase{"EmptyPatternEmptyText", "", "", 257, 0},
                    FindCase{"TextShorterThanPattern", "abcd", "abc", 257, -1},
                    FindCase{"EmptyText", "a", "", 257, -1},
                    FindCase{"EightBitBytes", "\xE9\xFF", "caf\xE9\xE9\xFF!", 257, 4},
                    FindCase{"ZeroBytes", std::string("\0b", 2), std::string("a\0\0b", 4), 257, 2},
                    // Multiplier 1: the hash is the byte sum, so every anagram collides and must be
                    // rejected by the comparison.
                    FindCase{"AnagramCollisionsRejected", "ba", "abab", 1, 1},
                    FindCase{"AnagramCollisionsOnly", "cab", "abcbcaacb", 1, -1},
                    // Multiplier 0: the hash is the last byte only, so every window ending in the
                    // same byte collides.
                    FindCase{"LastByteCollisions", "xyz", "azbzczxyz", 0, 6},
                    FindCase{"LastByteCollisionsOnly", "xyz", "zzzzz", 0, -1},
                    // Multiplier 2^16: only the last two bytes weigh in modulo 2^32.
                    FindCase{"WrapAroundCollisions", "abcd", "zzcdqqcdabcd", 65536, 8},
                    // High bytes leaving the window make the unsigned subtraction wrap around.
                    FindCase{"BorrowOnRoll", "\x01\x02", "\xFF\xFF\x01\x01\x02", 256, 3}),
    [](const testing::TestParamInfo<FindCase>& info) { return std::string(info.param.name); });

// On random texts over a tiny alphabet (many partial matches and collisions) the result must
// equal a plain substring search for every multiplier, degenerate ones included.
TEST(FindSubstringRandomTest, AgreesWithPlainSearch) {
  const std::uint32_t multipliers[] = {0, 1, 2, 31, 256, 257, 65536, 0x01000193, 0xFFFFFFFF};
  std::mt19937 rng(20261210);
  std::uniform_int_distribution<int> letter(0, 2);
  std::uniform_int_distribution<int> text_length(0, 40);
  std::uniform_int_distribution<int> pattern_length(1, 5);
  for (std::uint32_t multiplier : multipliers) {
    SCOPED_TRACE("multiplier " + std::to_string(multiplier));
    for (int round = 0; round < 400; ++round) {
      std::string text(static_cast<std::size_t>(text_length(rng)), ' ');
      for (char& c : text) c = static_cast<char>('a' + letter(rng));
      std::string pattern(static_cast<std::size_t>(pattern_length(rng)), ' ');
      for (char& c : pattern) c = static_cast<char>('a' + letter(rng));
      const std::size_t plain = text.find(pattern);
      const std::ptrdiff_t want =
          plain == std::string::npos ? -1 : static_cast<std::ptrdiff_t>(plain);
      ASSERT_EQ(FindSubstring(pattern, text, multiplier), want)
          << "pattern '" << pattern << "' in '" << text << "'";
    }
  }
}

}  // namespace
}  // namespace pelrion::mailformat
