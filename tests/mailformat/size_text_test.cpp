#include "mailformat/size_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <string>

namespace pelrion::mailformat {
namespace {

struct KbCase {
  const char* name;
  std::uint32_t size;
  std::string want;
};

class FormatSizeKbTest : public testing::TestWithParam<KbCase> {};

TEST_P(FormatSizeKbTest, RoundsUpToNextKb) {
  EXPECT_EQ(FormatSizeKb(GetParam().size), GetParam().want) << "size " << GetParam().size;
}

INSTANTIATE_TEST_SUITE_P(Sizes, FormatSizeKbTest,
                         testing::Values(KbCase{"Zero", 0, "0 KB"}, KbCase{"OneByte", 1, "1 KB"},
                                         KbCase{"JustBelowOneKb", 1023, "1 KB"},
                                         KbCase{"ExactlyOneKb", 1024, "2 KB"},
                                         KbCase{"TenKb", 10 * 1024 + 5, "11 KB"},
                                         KbCase{"Largest", 4294967295u, "4194304 KB"}),
                         [](const testing::TestParamInfo<KbCase>& info) {
                           return std::string(info.param.name);
                         });

struct SizeCase {
  const char* name;
  std::int64_t size;
  std::string want;
};

class FormatSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(FormatSizeTest, PicksUnitByPowerOfTen) {
  EXPECT_EQ(FormatSize(GetParam().size), GetParam().want) << "size " << GetParam().size;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FormatSizeTest,
    testing::Values(SizeCase{"Zero", 0, "0 bytes"}, SizeCase{"Thousand", 1000, "1000 bytes"},
                    SizeCase{"Negative", -5, "-5 bytes"},
                    SizeCase{"MostNegative", INT64_MIN, "-9223372036854775808 bytes"},
                    SizeCase{"JustAboveThousand", 1001, "1 KB"},  // 0.977... rounds to "1.0"
                    SizeCase{"TwoKbDropsZero", 2048, "2 KB"},
                    SizeCase{"OneAndAHalfKb", 1536, "1.5 KB"},
                    SizeCase{"KbRoundsUp", 1100, "1.1 KB"},       // 1.074...
                    SizeCase{"KbRoundsToWhole", 10230, "10 KB"},  // 9.990... gives "10.0"
                    SizeCase{"Million", 1'000'000, "976.6 KB"},
                    SizeCase{"JustAboveMillion", 1'000'001, "0.95 MB"},
                    SizeCase{"OneMb", 1'048'576, "1.00 MB"},
                    SizeCase{"MbKeepsZeros", 2 * 1'048'576, "2.00 MB"},
                    SizeCase{"Billion", 1'000'000'000, "953.67 MB"},
                    SizeCase{"JustAboveBillion", 1'000'000'001, "0.93 GB"},
                    SizeCase{"OneGb", 1'073'741'824, "1.00 GB"},
                    SizeCase{"Terabyte", 1'099'511'627'776, "1024.00 GB"},
                    SizeCase{"Largest", INT64_MAX, "8589934592.00 GB"}),
    [](const testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

// A process locale with a decimal comma (set by the GUI toolkit at start-up) must not change
// the texts. Skipped when no such locale is installed.
TEST(FormatSizeLocaleTest, DecimalPointWhateverTheLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const char* comma_locales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
  const char* chosen = nullptr;
  for (const char* name : comma_locales) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      chosen = name;
      break;
    }
  }
  if (chosen == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
  const std::string mb = FormatSize(1'048'576);
  const std::string kb = FormatSize(1536);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(mb, "1.00 MB") << "locale " << chosen;
  EXPECT_EQ(kb, "1.5 KB") << "locale " << chosen;
}

}  // namespace
}  // namespace pelrion::mailformat
