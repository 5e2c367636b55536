// Signed 32-bit seconds since 1970-01-01 00:00:00 UTC; -1 means there is no valid date.
#pragma once

#include <cstdint>

namespace pelrion::mailformat {

using Timestamp = std::int32_t;
inline constexpr Timestamp kNoDate = -1;

}  // namespace pelrion::mailformat
