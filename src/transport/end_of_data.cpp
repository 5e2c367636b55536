#include "transport/end_of_data.h"

namespace pelrion::transport {
namespace {

// The length of the end-of-data line starting at `at`, 0 when there is none.
std::size_t EndLineAt(std::string_view data, std::size_t at) {
  const std::string_view rest = data.substr(at);
  if (rest.starts_with(".\r\n")) return 3;
  if (rest.starts_with(".\n")) return 2;
  return 0;
}

}  // namespace

std::optional<EndOfData> FindEndOfData(std::string_view data, bool at_line_start) {
  if (at_line_start) {
    if (const std::size_t length = EndLineAt(data, 0)) return EndOfData{0, length};
  }
  for (std::size_t dot = data.find("\n."); dot != std::string_view::npos;
       dot = data.find("\n.", dot + 1)) {
    if (const std::size_t length = EndLineAt(data, dot + 1)) {
      return EndOfData{dot + 1, dot + 1 + length};
    }
  }
  return std::nullopt;
}

std::size_t UndecidedTail(std::string_view data, bool at_line_start) {
  const std::size_t last_lf = data.rfind('\n');
  if (last_lf == std::string_view::npos && !at_line_start) return 0;
  const std::size_t line_start = last_lf == std::string_view::npos ? 0 : last_lf + 1;
  const std::string_view tail = data.substr(line_start);
  return tail == "." || tail == ".\r" ? tail.size() : 0;
}

}  // namespace pelrion::transport
