// Reading and writing RFC 822 / RFC 5322 dates (section 3.3 of RFC 5322), the local zone's
// offset from UTC, and the date text of Received fields. No locale is consulted: day and month
// names are always English.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "mailformat/timestamp.h"

namespace pelrion::mailformat {

// The local zone's standard (non-daylight) offset from UTC in seconds, positive east of
// Greenwich; nullopt when a time conversion fails or the offset exceeds 12 hours. Computed on the
// first call and cached for the life of the process; safe from any thread.
std::optional<std::int32_t> LocalUtcOffset();

// "+hh00" or "-hh00" from the whole hours of LocalUtcOffset (truncated toward zero; "-" only for
// a negative offset), "-0000" when the offset is unavailable. Cached like LocalUtcOffset.
std::string ZoneSuffix();

// The timestamp of a date such as "Tue, 6 Dec 2005 10:00:00 -0500", read leniently (two-digit
// years are 19xx, AM/PM markers, numeric and named zones, unknown zones as UTC). kNoDate when the
// month or time is missing or the instant lies outside 1970-01-01 00:00:00 .. 2038-01-19 03:14:07
// UTC. Never allocates.
Timestamp ParseMailDate(std::string_view text);

// The instant when as "Tue, 6 Dec 2005 10:00:00 -0500": local wall-clock time with the zone's
// actual offset at that instant (daylight saving and minutes included), so that ParseMailDate
// gives back when. "-0000" with UTC time when the local time cannot be found.
std::string FormatMailDate(std::time_t when);

// FormatMailDate of the current time.
std::string FormatMailDate();

// The date text of a Received field value: everything after the first ";" that stands outside
// quoted strings, comments and angle tokens (possibly empty). nullopt when there is no such ";"
// or a quoted string, comment or angle token is not closed.
std::optional<std::string> ExtractReceivedDate(std::string_view value);

// For tests only: forgets the cached LocalUtcOffset and ZoneSuffix so that the next calls
// recompute them under the current TZ. Not to be called while other threads use the caches.
void ResetDateCachesForTesting();

}  // namespace pelrion::mailformat
