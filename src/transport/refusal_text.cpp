#include "transport/refusal_text.h"

#include <algorithm>
#include <cctype>

namespace pelrion::transport {

std::string RefusalReason(std::string_view line) {
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
    line.remove_suffix(1);
  }
  return line.empty() ? "[No Error Description]" : std::string(line);
}

std::string Pop3RefusalReason(std::string_view line) {
  if (line.substr(0, 4) == "-ERR") line.remove_prefix(std::min<std::size_t>(5, line.size()));
  return RefusalReason(line);
}

}  // namespace pelrion::transport
