#include "mailformat/mail_date.h"

#include <array>
#include <atomic>
#include <limits>

#include "mailformat/ascii.h"

namespace pelrion::mailformat {
namespace {

constexpr std::array<std::string_view, 12> kMonths = {
    "Jan ", "Feb ", "Mar ", "Apr ", "May ", "Jun ", "Jul ", "Aug ", "Sep ", "Oct ", "Nov ", "Dec "};
constexpr std::array<std::string_view, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};

struct NamedZone {
  std::string_view name;  // padded with spaces to 4 characters
  int hours;
};

// RFC 822 section 5.1. The military letters keep the signs as RFC 822 prints them (A = -1 ...
// M = -12, N = +1 ... Y = +12), which RFC 1123 notes are reversed; mail that uses them relies on
// this reading. "J" is not a zone and "Z" falls through to the default of 0.
constexpr std::array<NamedZone, 35> kZones = {{
    {"UT  ", 0},  {"GMT ", 0},   {"EST ", -5},  {"EDT ", -4},  {"CST ", -6}, {"CDT ", -5},
    {"MST ", -7}, {"MDT ", -6},  {"PST ", -8},  {"PDT ", -7},  {"A   ", -1}, {"B   ", -2},
    {"C   ", -3}, {"D   ", -4},  {"E   ", -5},  {"F   ", -6},  {"G   ", -7}, {"H   ", -8},
    {"I   ", -9}, {"K   ", -10}, {"L   ", -11}, {"M   ", -12}, {"N   ", 1},  {"O   ", 2},
    {"P   ", 3},  {"Q   ", 4},   {"R   ", 5},   {"S   ", 6},   {"T   ", 7},  {"U   ", 8},
    {"V   ", 9},  {"W   ", 10},  {"X   ", 11},  {"Y   ", 12},
}};

constexpr std::int64_t kSecondsPerDay = 86'400;
constexpr std::int64_t kMaxOffset = 43'200;  // 12 hours

// Numbers in a date are read saturating at this value: large enough to push any date out of the
// timestamp range, small enough that the arithmetic below cannot overflow 64 bits.
constexpr std::int64_t kNumberCap = 10'000'000'000;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads the run of decimal digits at pos (advancing pos); found tells whether there was one.
std::int64_t ReadNumber(std::string_view text, std::size_t& pos, bool& found) {
  found = false;
  std::int64_t value = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    found = true;
    value = value * 10 + (text[pos] - '0');
    if (value > kNumberCap) value = kNumberCap;
    ++pos;
  }
  return value;
}

// The position of the next space at or after pos, or the end of the text.
std::size_t SkipToSpace(std::string_view text, std::size_t pos) {
  const std::size_t space = text.find(' ', pos);
  return space == std::string_view::npos ? text.size() : space;
}

std::size_t SkipSpaces(std::string_view text, std::size_t pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
  return pos;
}

// The next count characters at pos (fewer at the end of the text), padded with spaces.
template <std::size_t N>
std::array<char, N> PaddedField(std::string_view text, std::size_t pos, std::size_t count) {
  std::array<char, N> field;
  field.fill(' ');
  for (std::size_t i = 0; i < count && pos + i < text.size(); ++i) field[i] = text[pos + i];
  return field;
}

// Days from 1970-01-01 to the first day of month (1..12) of year in the proleptic Gregorian
// calendar (H. Hinnant's days_from_civil).
std::int64_t DaysFromCivil(std::int64_t year, std::int64_t month) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146'097 + day_of_era - 719'468;
}

// The zone offset in seconds of the zone field at pos: "+hhmm"/"-hhmm" or a table name.
std::int64_t ZoneOffset(std::string_view text, std::size_t pos) {
  const std::array<char, 5> zone = PaddedField<5>(text, pos, 5);
  if (zone[0] == '+' || zone[0] == '-') {
    std::int64_t z = 0;
    for (std::size_t i = 1; i < zone.size() && IsDigit(zone[i]); ++i) z = z * 10 + (zone[i] - '0');
    if (zone[0] == '-') z = -z;
    // "-0830" is -8 hours and -30 minutes: both parts carry the sign.
    return (z / 100) * 3600 + (z % 100) * 60;
  }
  const std::string_view name(zone.data(), 4);
  for (const NamedZone& entry : kZones) {
    if (entry.name == name) return std::int64_t{entry.hours} * 3600;
  }
  return 0;  // unknown zones (and "Z") are read as UTC
}

// Cache states of LocalUtcOffset; any other value is the offset itself.
constexpr std::int64_t kOffsetNotComputed = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kOffsetUnavailable = kOffsetNotComputed + 1;
std::atomic<std::int64_t> offset_cache{kOffsetNotComputed};

// ZoneSuffix cache: the five characters in the low 40 bits, kSuffixComputed set once filled.
constexpr std::uint64_t kSuffixComputed = std::uint64_t{1} << 63;
std::atomic<std::uint64_t> suffix_cache{0};

std::int64_t ComputeLocalUtcOffset() {
  tzset();
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  std::tm local{};
  if (gmtime_r(&now, &utc) == nullptr || localtime_r(&now, &local) == nullptr) {
    return kOffsetUnavailable;
  }
  // The UTC reading taken as local standard time lies exactly one standard offset before now.
  utc.tm_isdst = 0;
  const std::time_t as_standard = std::mktime(&utc);
  const std::time_t as_local = std::mktime(&local);
  if (as_standard == static_cast<std::time_t>(-1) || as_local == static_cast<std::time_t>(-1)) {
    return kOffsetUnavailable;
  }
  const std::int64_t offset = static_cast<std::int64_t>(as_local) - as_standard;
  if (offset > kMaxOffset || offset < -kMaxOffset) return kOffsetUnavailable;
  return offset;
}

// Appends value as two decimal digits (value is 0..99).
void AppendTwoDigits(std::string& out, std::int64_t value) {
  out += static_cast<char>('0' + value / 10);
  out += static_cast<char>('0' + value % 10);
}

// Appends "+hhmm" or "-hhmm" ("-" only for a negative offset) for an offset in seconds below
// 100 hours in magnitude.
void AppendOffset(std::string& out, std::int64_t offset, bool whole_hours_only) {
  const std::int64_t magnitude = offset < 0 ? -offset : offset;
  out += offset < 0 ? '-' : '+';
  AppendTwoDigits(out, magnitude / 3600 % 100);
  AppendTwoDigits(out, whole_hours_only ? 0 : magnitude / 60 % 60);
}

}  // namespace

std::optional<std::int32_t> LocalUtcOffset() {
  std::int64_t state = offset_cache.load(std::memory_order_acquire);
  if (state == kOffsetNotComputed) {
    // Racing first calls compute the same value; whichever store lands last is equal.
    state = ComputeLocalUtcOffset();
    offset_cache.store(state, std::memory_order_release);
  }
  if (state == kOffsetUnavailable) return std::nullopt;
  return static_cast<std::int32_t>(state);
}

std::string ZoneSuffix() {
  std::uint64_t packed = suffix_cache.load(std::memory_order_acquire);
  if ((packed & kSuffixComputed) == 0) {
    const std::optional<std::int32_t> offset = LocalUtcOffset();
    std::string text = "-0000";
    if (offset) {
      // Whole hours only, truncated toward zero; the minutes are always "00".
      text.clear();
      AppendOffset(text, *offset, true);
    }
    packed = kSuffixComputed;
    for (int i = 0; i < 5; ++i) {
      packed |= std::uint64_t{static_cast<unsigned char>(text[i])} << (8 * i);
    }
    suffix_cache.store(packed, std::memory_order_release);
  }
  std::string suffix(5, ' ');
  for (int i = 0; i < 5; ++i) suffix[i] = static_cast<char>((packed >> (8 * i)) & 0xFF);
  return suffix;
}

void ResetDateCachesForTesting() {
  offset_cache.store(kOffsetNotComputed, std::memory_order_release);
  suffix_cache.store(0, std::memory_order_release);
}

Timestamp ParseMailDate(std::string_view text) {
  bool found = false;

  // Day of the month: the first number anywhere (a leading day name has no digits).
  std::size_t pos = 0;
  while (pos < text.size() && !IsDigit(text[pos])) ++pos;
  const std::int64_t day = ReadNumber(text, pos, found);
  pos = SkipSpaces(text, SkipToSpace(text, pos));

  // Month: three characters, compared case-sensitively.
  const std::array<char, 4> month_field = PaddedField<4>(text, pos, 3);
  const std::string_view month_name(month_field.data(), month_field.size());
  std::int64_t month = 0;
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (kMonths[i] == month_name) month = static_cast<std::int64_t>(i) + 1;
  }
  if (month == 0) return kNoDate;

  // Year: two-digit (and any other below 1900) years are counted from 1900, as RFC 822 did.
  pos = SkipSpaces(text, SkipToSpace(text, pos));
  std::int64_t year = ReadNumber(text, pos, found);
  if (year < 1900) year += 1900;

  // Time: "hh:mm:ss"; a field that cannot be read, and those after it, count as 0.
  pos = SkipSpaces(text, SkipToSpace(text, pos));
  if (pos == text.size()) return kNoDate;
  std::int64_t hms[3] = {0, 0, 0};
  std::size_t field_pos = pos;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (field_pos >= text.size() || text[field_pos] != ':') break;
      ++field_pos;
    }
    hms[i] = ReadNumber(text, field_pos, found);
    if (!found) break;
  }
  pos = SkipSpaces(text, SkipToSpace(text, pos));

  // Allowance for broken senders: an "AM"/"PM" marker after the time. "PM" adds 12 hours
  // whatever the hour, so "12:00 PM" rolls over to the next day.
  if (pos + 1 < text.size() && (text[pos] == 'A' || text[pos] == 'P') && text[pos + 1] == 'M') {
    if (text[pos] == 'P') hms[0] += 12;
    pos = SkipSpaces(text, SkipToSpace(text, pos));
  }

  // Out-of-range fields roll over into the next unit, as with timegm. Every term is below
  // 2^59 in magnitude (the year is at most kNumberCap), so the sum cannot overflow.
  const std::int64_t seconds = (DaysFromCivil(year, month) + day - 1) * kSecondsPerDay +
                               hms[0] * 3600 + hms[1] * 60 + hms[2] - ZoneOffset(text, pos);
  if (seconds < 0 || seconds > std::numeric_limits<Timestamp>::max()) return kNoDate;
  return static_cast<Timestamp>(seconds);
}

std::string FormatMailDate(std::time_t when) {
  std::tm broken{};
  std::int64_t offset = 0;
  bool have_local = localtime_r(&when, &broken) != nullptr;
  if (have_local) {
    offset = broken.tm_gmtoff;
    if (offset > 99 * 3600 || offset < -99 * 3600) have_local = false;
  }
  if (!have_local && gmtime_r(&when, &broken) == nullptr) return {};

  std::string text;
  text.reserve(32);
  text += kWeekdays[static_cast<std::size_t>(broken.tm_wday) % 7];
  text += ", ";
  text += std::to_string(broken.tm_mday);
  text += ' ';
  text += kMonths[static_cast<std::size_t>(broken.tm_mon) % 12];  // "Dec " with its space
  text += std::to_string(static_cast<long long>(broken.tm_year) + 1900);
  text += ' ';
  AppendTwoDigits(text, broken.tm_hour);
  text += ':';
  AppendTwoDigits(text, broken.tm_min);
  text += ':';
  AppendTwoDigits(text, broken.tm_sec);
  text += ' ';
  // RFC 5322 section 3.3: "-0000" says the time is UTC and the local zone is unknown.
  if (have_local) {
    AppendOffset(text, offset, false);
  } else {
    text += "-0000";
  }
  return text;
}

std::string FormatMailDate() {
  return FormatMailDate(std::time(nullptr));
}

std::optional<std::string> ExtractReceivedDate(std::string_view value) {
  // The first occurrence of close at or after pos that does not follow a backslash.
  const auto find_unescaped = [value](std::size_t pos, char close) {
    for (; pos < value.size(); ++pos) {
      if (value[pos] == close && value[pos - 1] != '\\') return pos;
    }
    return std::string_view::npos;
  };

  std::size_t pos = 0;
  while (pos < value.size()) {
    const char c = value[pos];
    std::size_t end = 0;
    if (ascii::IsSpace(c)) {
      ++pos;
      continue;
    }
    switch (c) {
      case ';':
        return std::string(value.substr(pos + 1));
      case '"':
        end = find_unescaped(pos + 1, '"');
        break;
      case '(':
        end = find_unescaped(pos + 1, ')');
        break;
      case '<':
        end = value.find('>', pos + 1);
        break;
      default:
        // A word: it ends at white space or a semicolon only.
        while (pos < value.size() && !ascii::IsSpace(value[pos]) && value[pos] != ';') ++pos;
        continue;
    }
    if (end == std::string_view::npos) return std::nullopt;
    pos = end + 1;
  }
  return std::nullopt;
}

}  // namespace pelrion::mailformat
