// ParseMailDate on arbitrary bytes: it must never read out of bounds or overflow, and its result
// is either kNoDate or a timestamp in the 1970..2038 range. A date formatted from a valid result
// must read back to the same second.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "mailformat/mail_date.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelrion::mailformat;
  static const bool utc = [] {
    setenv("TZ", "UTC0", 1);
    tzset();
    return true;
  }();
  (void)utc;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Timestamp when = ParseMailDate(text);
  if (when < kNoDate) std::abort();
  if (when != kNoDate && ParseMailDate(FormatMailDate(when)) != when) std::abort();
  return 0;
}
