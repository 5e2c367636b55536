#include "mailformat/mime_identifiers.h"

#include <cstdint>
#include <cstdio>

#include "platform/clock.h"
#include "platform/random.h"

namespace pelrion::mailformat {

std::string MakeBoundary(int& counter) {
  char text[48];
  const int length = std::snprintf(text, sizeof text, "----=NextPart_%02d_%08X", counter,
                                   static_cast<unsigned>(platform::Random32()));
  ++counter;
  return std::string(text, static_cast<std::size_t>(length));
}

std::string MakeContentId(std::string_view prefix) {
  const std::uint32_t value =
      (static_cast<std::uint32_t>(platform::Rand()) << 16) | (platform::TickCount() & 0xFFFFu);
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(value));
  std::string id;
  id.reserve(prefix.size() + 8);
  id.append(prefix);
  id.append(digits, 8);
  return id;
}

}  // namespace pelrion::mailformat
