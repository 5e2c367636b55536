// Time sources. Tests may pin the wall clock so expiry rules can be checked to the second.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace pelrion::platform {

// Milliseconds since an arbitrary start (CLOCK_MONOTONIC), truncated to 32 bits.
std::uint32_t TickCount();

// Seconds since 1970 UTC: the real time, unless a test pinned it.
std::int64_t Now();

// Pins Now() to a fixed value (nullopt restores the real clock). For tests only.
void SetNowForTesting(std::optional<std::int64_t> seconds);

}  // namespace pelrion::platform
