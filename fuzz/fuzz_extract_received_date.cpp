// ExtractReceivedDate on arbitrary bytes: no out-of-bounds reading, and a found date text is
// exactly the tail of the value after a semicolon. The tail is then parsed as a date.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mailformat/mail_date.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelrion::mailformat;
  const std::string_view value(reinterpret_cast<const char*>(data), size);
  const auto date = ExtractReceivedDate(value);
  if (!date) return 0;
  if (date->size() >= value.size()) std::abort();
  const std::size_t semicolon = value.size() - date->size() - 1;
  if (value[semicolon] != ';' || value.substr(semicolon + 1) != *date) std::abort();
  if (ParseMailDate(*date) < kNoDate) std::abort();
  return 0;
}
