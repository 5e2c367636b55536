#include "mailformat/mail_date.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pelrion::mailformat {
namespace {

// 2005-12-06 10:00:00 UTC, the instant most date rows are built around.
constexpr Timestamp k10Utc = 1133863200;
constexpr Timestamp kHour = 3600;

struct DateCase {
  const char* name;
  std::string text;
  Timestamp want;
};

std::string CaseName(const testing::TestParamInfo<DateCase>& info) {
  return info.param.name;
}

class ParseMailDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(ParseMailDateTest, Reads) {
  const DateCase& c = GetParam();
  EXPECT_EQ(ParseMailDate(c.text), c.want) << "date: '" << c.text << "'";
}

INSTANTIATE_TEST_SUITE_P(
    WellFormed, ParseMailDateTest,
    testing::Values(
        DateCase{"NumericZone", "Tue, 6 Dec 2005 10:00:00 -0500", k10Utc + 5 * kHour},
        DateCase{"NamedZoneNoSeconds", "6 Dec 2005 10:00 EST", k10Utc + 5 * kHour},
        DateCase{"LeadingZeroDay", "Tue, 06 Dec 2005 10:00:00 -0500", k10Utc + 5 * kHour},
        DateCase{"ZoneCommentAfter", "Tue, 6 Dec 2005 10:00:00 -0500 (EST)", k10Utc + 5 * kHour},
        DateCase{"ManySpaces", "6  Dec   2005   10:00:00   -0500", k10Utc + 5 * kHour},
        DateCase{"Gmt", "6 Dec 2005 10:00:00 GMT", k10Utc},
        DateCase{"Ut", "6 Dec 2005 10:00:00 UT", k10Utc},
        DateCase{"ZuluIsDefaultZero", "6 Dec 2005 10:00:00 Z", k10Utc},
        DateCase{"UnknownZone", "6 Dec 2005 10:00:00 XYZ", k10Utc},
        DateCase{"LowerCaseZoneUnknown", "6 Dec 2005 10:00:00 est", k10Utc},
        DateCase{"ZoneWithSuffixUnknown", "6 Dec 2005 10:00:00 GMT+1", k10Utc},
        DateCase{"NoZone", "6 Dec 2005 10:00:00", k10Utc},
        DateCase{"PositiveHalfHour", "6 Dec 2005 10:00:00 +0530", k10Utc - 5 * kHour - 1800},
        DateCase{"NegativeHalfHour", "6 Dec 2005 10:00:00 -0830", k10Utc + 8 * kHour + 1800},
        DateCase{"ZoneOnlyFiveCharactersRead", "6 Dec 2005 10:00:00 +01000", k10Utc - kHour},
        DateCase{"ShortNumericZoneIsMinutes", "6 Dec 2005 10:00:00 +05", k10Utc - 300},
        DateCase{"SignWithoutDigits", "6 Dec 2005 10:00:00 +X", k10Utc},
        DateCase{"TwoDigitYear", "6 Dec 97 10:00:00 GMT", 881402400},
        DateCase{"ThreeDigitYear", "6 Dec 105 10:00:00 GMT", k10Utc},
        DateCase{"FullMonthName", "6 December 2005 10:00:00 GMT", k10Utc},
        DateCase{"HoursOnly", "6 Dec 2005 10 GMT", k10Utc},
        DateCase{"UnreadableTimeIsMidnight", "6 Dec 2005 x GMT", k10Utc - 10 * kHour},
        DateCase{"UnreadableMinutesStopTheTime", "6 Dec 2005 10:x:30 GMT", k10Utc},
        DateCase{"Pm", "6 Dec 2005 01:30:00 PM GMT", k10Utc + 3 * kHour + 1800},
        DateCase{"Am", "6 Dec 2005 10:00:00 AM GMT", k10Utc},
        DateCase{"NoonPmRollsOver", "6 Dec 2005 12:00:00 PM GMT", k10Utc + 14 * kHour},
        DateCase{"TwelveAmUnchanged", "6 Dec 2005 12:00:00 AM GMT", k10Utc + 2 * kHour},
        DateCase{"PmThenNumericZone", "6 Dec 2005 03:00:00 PM -0200", k10Utc + 7 * kHour},
        DateCase{"DayRollsIntoNextMonth", "31 Nov 2005 00:00:00 GMT", 1133395200},
        DateCase{"DayZeroRollsBack", "0 Feb 2005 00:00:00 GMT", 1107129600},
        DateCase{"SecondSixtyRollsOver", "6 Dec 2005 10:00:60 GMT", k10Utc + 60},
        DateCase{"MinuteSixtyRollsOver", "6 Dec 2005 09:60:00 GMT", k10Utc},
        DateCase{"LeapDay", "29 Feb 2004 12:00:00 GMT", 1078056000},
        DateCase{"NoLeapDayRollsOver", "29 Feb 2005 12:00:00 GMT", 1109678400},
        DateCase{"Epoch", "1 Jan 1970 00:00:00 GMT", 0},
        DateCase{"EpochFromEastZone", "1 Jan 1970 01:00:00 +0100", 0},
        DateCase{"LastSecond", "19 Jan 2038 03:14:07 GMT", 2147483647},
        DateCase{"LastSecondFromEastZone", "19 Jan 2038 04:14:07 +0100", 2147483647},
        DateCase{"SpecExampleStyle", "Sun, 6 Dec 2026 18:28:16 +0100", 1796578096}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Invalid, ParseMailDateTest,
    testing::Values(
        DateCase{"Empty", "", kNoDate}, DateCase{"NoDigits", "Tuesday", kNoDate},
        DateCase{"DayOnly", "6", kNoDate},
        DateCase{"LowerCaseMonth", "6 dec 2005 10:00:00 GMT", kNoDate},
        DateCase{"UnknownMonth", "6 Dez 2005 10:00:00 GMT", kNoDate},
        DateCase{"TruncatedMonth", "6 De", kNoDate},
        DateCase{"NoSpaceAfterDay", "06-Dec-2005 10:00:00 GMT", kNoDate},
        DateCase{"NoTime", "6 Dec 2005", kNoDate},
        DateCase{"NoTimeTrailingSpaces", "6 Dec 2005   ", kNoDate},
        DateCase{"NoYear", "6 Dec", kNoDate},
        DateCase{"TwoDigitYearBefore1970", "6 Dec 05 10:00:00 GMT", kNoDate},
        DateCase{"UnreadableYearIs1900", "6 Dec xx 10:00:00 GMT", kNoDate},
        DateCase{"LastSecondBefore1970", "31 Dec 1969 23:59:59 GMT", kNoDate},
        DateCase{"EpochShiftedBeforeByZone", "1 Jan 1970 00:00:00 +0100", kNoDate},
        DateCase{"FirstSecondAfter2038", "19 Jan 2038 03:14:08 GMT", kNoDate},
        DateCase{"ShiftedPast2038ByZone", "19 Jan 2038 03:14:07 -0100", kNoDate},
        DateCase{"PmPushesPast2038", "19 Jan 2038 03:14:07 PM GMT", kNoDate},
        DateCase{"Year9999", "1 Jan 9999 00:00:00 GMT", kNoDate},
        DateCase{"HugeDay", "99999999999999999999999 Dec 2005 10:00:00 GMT", kNoDate},
        DateCase{"HugeYear", "6 Dec 99999999999999999999999 10:00:00 GMT", kNoDate},
        DateCase{"HugeHours", "6 Dec 2005 99999999999999999999999:00:00 GMT", kNoDate},
        DateCase{"HugeSeconds", "6 Dec 2005 10:00:99999999999999999999999 GMT", kNoDate},
        DateCase{"AllHuge", "999999999999 Dec 999999999999 999999999999:999999999999:999999999999",
                 kNoDate}),
    CaseName);

// Every named zone against a fixed instant: the hours are those of the table (RFC 822 section
// 5.1, military letters with the signs as RFC 822 prints them).
TEST(ParseMailDateZoneTest, NamedZones) {
  const struct {
    const char* zone;
    int hours;
  } kZones[] = {{"UT", 0},   {"GMT", 0},  {"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5},
                {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7}, {"A", -1},   {"B", -2},
                {"C", -3},   {"D", -4},   {"E", -5},   {"F", -6},   {"G", -7},   {"H", -8},
                {"I", -9},   {"K", -10},  {"L", -11},  {"M", -12},  {"N", 1},    {"O", 2},
                {"P", 3},    {"Q", 4},    {"R", 5},    {"S", 6},    {"T", 7},    {"U", 8},
                {"V", 9},    {"W", 10},   {"X", 11},   {"Y", 12},   {"J", 0},    {"Z", 0}};
  for (const auto& row : kZones) {
    SCOPED_TRACE(row.zone);
    const std::string text = std::string("Tue, 6 Dec 2005 10:00:00 ") + row.zone;
    EXPECT_EQ(ParseMailDate(text), k10Utc - row.hours * kHour);
    // Four characters are compared, so a following comment leaves three-letter names intact
    // but turns one- and two-letter names into an unknown zone (offset 0).
    const bool three_letters = std::string_view(row.zone).size() == 3;
    EXPECT_EQ(ParseMailDate(text + " (comment)"), k10Utc - (three_letters ? row.hours : 0) * kHour);
  }
}

// Any prefix of a valid date must be read without reading past its end.
TEST(ParseMailDatePrefixTest, EveryPrefixIsSafe) {
  const std::string full = "Tue, 6 Dec 2005 01:30:00 PM -0500 (EST)";
  for (std::size_t length = 0; length <= full.size(); ++length) {
    // A heap copy of exactly the prefix lets the address sanitizer see any over-read.
    const std::string prefix = full.substr(0, length);
    const Timestamp got = ParseMailDate(prefix);
    SCOPED_TRACE("prefix '" + prefix + "'");
    EXPECT_GE(got, kNoDate);
    if (length < std::string("Tue, 6 Dec 2005 0").size()) {
      EXPECT_EQ(got, kNoDate);
    }
  }
}

struct ReceivedCase {
  const char* name;
  std::string value;
  std::optional<std::string> want;
};

class ExtractReceivedDateTest : public testing::TestWithParam<ReceivedCase> {};

TEST_P(ExtractReceivedDateTest, FindsTextAfterFirstBareSemicolon) {
  const ReceivedCase& c = GetParam();
  EXPECT_EQ(ExtractReceivedDate(c.value), c.want) << "value: " << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ExtractReceivedDateTest,
    testing::Values(
        ReceivedCase{"Typical",
                     " from mx.example.org (mx.example.org [192.0.2.1]) by mail.example.com "
                     "(Postfix) with ESMTP id 4F2A1; Tue, 6 Dec 2005 10:00:00 -0500",
                     " Tue, 6 Dec 2005 10:00:00 -0500"},
        ReceivedCase{"SemicolonInComment", "from a (b; c) by d; date", " date"},
        ReceivedCase{"SemicolonInQuotes", "from \"x;y\" by d; date", " date"},
        ReceivedCase{"EscapedQuote", "from \"a\\\";b\" by c; date", " date"},
        ReceivedCase{"EscapedParenthesis", "from (a\\);b) by c; date", " date"},
        ReceivedCase{"SemicolonInAngleToken", "by x for <a;b@c>; date", " date"},
        ReceivedCase{"WordEndsAtSemicolon", "id abc;def", "def"},
        ReceivedCase{"QuoteInsideWordIsPlain", "id ab\"c;d\"", "d\""},
        ReceivedCase{"TabsAndLineBreaksSkipped", "\tby\r\n x ;\tdate", "\tdate"},
        ReceivedCase{"LeadingSemicolon", "; date", " date"},
        ReceivedCase{"SemicolonAtEnd", "by x;", ""},
        ReceivedCase{"OnlyFirstSemicolon", "by x; a; b", " a; b"},
        ReceivedCase{"NoSemicolon", "from a by b", std::nullopt},
        ReceivedCase{"SemicolonOnlyInComment", "from a (b; c)", std::nullopt},
        ReceivedCase{"Empty", "", std::nullopt},
        ReceivedCase{"UnterminatedQuote", "from \"abc; date", std::nullopt},
        ReceivedCase{"QuoteClosedOnlyByEscape", "from \"abc\\\"; date", std::nullopt},
        ReceivedCase{"UnterminatedComment", "from (abc; date", std::nullopt},
        ReceivedCase{"CommentClosedOnlyByEscape", "(\\); date", std::nullopt},
        ReceivedCase{"UnterminatedAngle", "for <a@b; date", std::nullopt}),
    [](const testing::TestParamInfo<ReceivedCase>& info) { return std::string(info.param.name); });

// Sets TZ for one test and restores it (and recomputes the caches) afterwards.
class TzTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TZ");
    if (old != nullptr) saved_ = old;
  }
  void TearDown() override {
    if (saved_) {
      setenv("TZ", saved_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
    ResetDateCachesForTesting();
  }
  static void UseZone(const std::string& tz) {
    setenv("TZ", tz.c_str(), 1);
    tzset();
    ResetDateCachesForTesting();
  }
  // True when a named zone can be used (its tzdata file is installed).
  static bool HaveZoneFile(const std::string& tz) {
    if (tz.find('/') == std::string::npos) return true;  // a POSIX rule needs no file
    return access(("/usr/share/zoneinfo/" + tz).c_str(), R_OK) == 0;
  }

 private:
  std::optional<std::string> saved_;
};

struct OffsetCase {
  const char* tz;
  std::optional<std::int32_t> offset;
  const char* suffix;
};

using LocalUtcOffsetTest = TzTest;

TEST_F(LocalUtcOffsetTest, StandardOffsetAndSuffixPerZone) {
  const OffsetCase kCases[] = {
      {"UTC0", 0, "+0000"},
      {"CET-1", 3600, "+0100"},
      // Zones with daylight saving give their standard offset in every season.
      {"CET-1CEST,M3.5.0,M10.5.0/3", 3600, "+0100"},
      {"EST5", -18000, "-0500"},
      {"EST5EDT,M3.2.0,M11.1.0", -18000, "-0500"},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", 36000, "+1000"},
      // Half hours: the suffix keeps whole hours only, truncated toward zero.
      {"IST-5:30", 19800, "+0500"},
      {"NST3:30", -12600, "-0300"},
      {"XXX-0:30", 1800, "+0000"},
      {"XXX0:30", -1800, "-0000"},
      {"XXX-12", 43200, "+1200"},
      {"XXX12", -43200, "-1200"},
      // More than 12 hours: unavailable.
      {"XXX-13", std::nullopt, "-0000"},
      {"XXX-14", std::nullopt, "-0000"},
      {"Europe/Berlin", 3600, "+0100"},
      {"America/New_York", -18000, "-0500"},
      {"Asia/Kolkata", 19800, "+0500"},
      {"America/St_Johns", -12600, "-0300"},
      {"Pacific/Kiritimati", std::nullopt, "-0000"},
  };
  for (const OffsetCase& c : kCases) {
    SCOPED_TRACE(std::string("TZ=") + c.tz);
    if (!HaveZoneFile(c.tz)) continue;  // tzdata missing: only the POSIX rules are checked
    UseZone(c.tz);
    EXPECT_EQ(LocalUtcOffset(), c.offset);
    EXPECT_EQ(ZoneSuffix(), c.suffix);
  }
}

TEST_F(LocalUtcOffsetTest, CachedUntilReset) {
  UseZone("CET-1");
  ASSERT_EQ(LocalUtcOffset(), 3600);
  ASSERT_EQ(ZoneSuffix(), "+0100");
  setenv("TZ", "EST5", 1);
  tzset();
  EXPECT_EQ(LocalUtcOffset(), 3600);
  EXPECT_EQ(ZoneSuffix(), "+0100");
  ResetDateCachesForTesting();
  EXPECT_EQ(LocalUtcOffset(), -18000);
  EXPECT_EQ(ZoneSuffix(), "-0500");
}

TEST_F(LocalUtcOffsetTest, UnavailableStaysUnavailable) {
  UseZone("XXX-13");
  ASSERT_EQ(LocalUtcOffset(), std::nullopt);
  setenv("TZ", "UTC0", 1);
  tzset();
  EXPECT_EQ(LocalUtcOffset(), std::nullopt);
  EXPECT_EQ(ZoneSuffix(), "-0000");
}

struct FormatCase {
  const char* name;
  const char* tz;
  std::time_t when;
  const char* want;
};

using FormatMailDateTest = TzTest;

TEST_F(FormatMailDateTest, LocalTimeWithActualOffsetAndReadsBack) {
  const FormatCase kCases[] = {
      {"Utc", "UTC0", 1133881200, "Tue, 6 Dec 2005 15:00:00 +0000"},
      {"Example", "CET-1", 1796578096, "Sun, 6 Dec 2026 18:28:16 +0100"},
      {"EastWinter", "CET-1CEST,M3.5.0,M10.5.0/3", 1133881200, "Tue, 6 Dec 2005 16:00:00 +0100"},
      {"EastSummer", "CET-1CEST,M3.5.0,M10.5.0/3", 1120478400, "Mon, 4 Jul 2005 14:00:00 +0200"},
      {"WestWinter", "EST5EDT,M3.2.0,M11.1.0", 1133881200, "Tue, 6 Dec 2005 10:00:00 -0500"},
      {"WestSummer", "EST5EDT,M3.2.0,M11.1.0", 1120478400, "Mon, 4 Jul 2005 08:00:00 -0400"},
      {"HalfHourEast", "IST-5:30", 1133881200, "Tue, 6 Dec 2005 20:30:00 +0530"},
      {"HalfHourWest", "NST3:30", 1133881200, "Tue, 6 Dec 2005 11:30:00 -0330"},
      {"DayChangesWithZone", "XXX-12", 1133881200, "Wed, 7 Dec 2005 03:00:00 +1200"},
      {"Epoch", "UTC0", 0, "Thu, 1 Jan 1970 00:00:00 +0000"},
      {"LastSecond", "UTC0", 2147483647, "Tue, 19 Jan 2038 03:14:07 +0000"},
      {"TwoDigitDay", "UTC0", 1108209600, "Sat, 12 Feb 2005 12:00:00 +0000"},
      {"BerlinSummer", "Europe/Berlin", 1120478400, "Mon, 4 Jul 2005 14:00:00 +0200"},
      {"Kolkata", "Asia/Kolkata", 1133881200, "Tue, 6 Dec 2005 20:30:00 +0530"},
  };
  for (const FormatCase& c : kCases) {
    SCOPED_TRACE(std::string(c.name) + " TZ=" + c.tz);
    if (!HaveZoneFile(c.tz)) continue;
    UseZone(c.tz);
    const std::string text = FormatMailDate(c.when);
    EXPECT_EQ(text, c.want);
    EXPECT_EQ(ParseMailDate(text), static_cast<Timestamp>(c.when)) << text;
  }
}

TEST_F(FormatMailDateTest, CurrentTimeReadsBackWithinTheCall) {
  for (const char* tz :
       {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0", "IST-5:30", "NST3:30"}) {
    SCOPED_TRACE(std::string("TZ=") + tz);
    UseZone(tz);
    const std::time_t before = std::time(nullptr);
    const std::string text = FormatMailDate();
    const std::time_t after = std::time(nullptr);
    const Timestamp parsed = ParseMailDate(text);
    EXPECT_GE(parsed, before) << text;
    EXPECT_LE(parsed, after) << text;
  }
}

// Racing first calls from many threads must agree (and be free of data races under TSan).
TEST(DateCacheThreadTest, FirstCallsFromManyThreadsAgree) {
  const char* old = std::getenv("TZ");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  setenv("TZ", "NST3:30", 1);
  tzset();
  for (int round = 0; round < 20; ++round) {
    ResetDateCachesForTesting();
    std::vector<std::optional<std::int32_t>> offsets(8);
    std::vector<std::string> suffixes(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
      threads.emplace_back([&, i] {
        if (i % 2 == 0) {
          suffixes[i] = ZoneSuffix();
          offsets[i] = LocalUtcOffset();
        } else {
          offsets[i] = LocalUtcOffset();
          suffixes[i] = ZoneSuffix();
        }
      });
    }
    for (std::thread& t : threads) t.join();
    for (std::size_t i = 0; i < offsets.size(); ++i) {
      EXPECT_EQ(offsets[i], -12600) << "thread " << i;
      EXPECT_EQ(suffixes[i], "-0300") << "thread " << i;
    }
  }
  if (saved) {
    setenv("TZ", saved->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  ResetDateCachesForTesting();
}

}  // namespace
}  // namespace pelrion::mailformat
