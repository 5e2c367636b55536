// Finding the end of a message's data in the raw byte stream of an SMTP client: the line "."
// at a line start. The relay copies message bodies in large pieces and only looks for it,
// instead of taking the body line by line.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace pelrion::transport {

struct EndOfData {
  std::size_t start = 0;  // where the "." line begins
  std::size_t end = 0;    // just past its line end
};

// The first end-of-data line in data: "." followed by CR LF (or a bare LF, which a line
// reader takes for one too) at a line start, that is at a position after an LF, or at 0 when
// at_line_start.
std::optional<EndOfData> FindEndOfData(std::string_view data, bool at_line_start);

// How many bytes at the end of data (in which FindEndOfData found nothing) could be the
// beginning of an end-of-data line that is not complete yet: "." or ".\r" at a line start.
std::size_t UndecidedTail(std::string_view data, bool at_line_start);

}  // namespace pelrion::transport
