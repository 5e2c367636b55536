#include <array>
#include <string_view>

#include "cycle/mail_cycle.h"

namespace pelrion::cycle {

std::string_view ActivityText(int code) {
  // Indexed by the code the sessions send; 7 (idle) and anything unknown clear the pane.
  static constexpr std::array<std::string_view, 7> kTexts = {
      "Sending authorization request...",
      "Receiving mail...",
      "Connecting...",
      "Disconnecting...",
      "Checking mail...",
      "Authorizing...",
      "Deleting messages from server...",
  };
  if (code < 0 || code >= static_cast<int>(kTexts.size())) return {};
  return kTexts[static_cast<std::size_t>(code)];
}

}  // namespace pelrion::cycle
