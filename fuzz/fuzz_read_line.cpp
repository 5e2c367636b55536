// The line cutting under ReadLine on arbitrary bytes in arbitrary chunks: the lines equal the
// whole input cut after each LF, each ends in CR LF and holds no NUL, and what stays buffered is
// exactly the bytes after the last LF. The first four input bytes seed the chunk sizes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "transport/line_buffer.h"

namespace {

// What each line must be: the bytes up to and including an LF, NUL as '^', CR before a bare LF.
std::string ExpectedLine(std::string_view raw) {
  std::string line(raw.substr(0, raw.size() - 1));
  for (char& c : line) {
    if (c == '\0') c = '^';
  }
  if (line.empty() || line.back() != '\r') line += '\r';
  return line + '\n';
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  std::uint32_t state;
  std::memcpy(&state, data, 4);
  const std::string_view input(reinterpret_cast<const char*>(data) + 4, size - 4);
  const std::uint32_t largest_chunk = 1 + (state & 0x3FF);

  pelrion::transport::LineBuffer buffer;
  std::size_t next_line_at = 0;  // where the next expected line starts in the input
  for (std::size_t fed = 0; fed < input.size();) {
    state = state * 1103515245u + 12345u;
    const std::size_t chunk =
        std::min<std::size_t>(1 + (state >> 8) % largest_chunk, input.size() - fed);
    // As ReadLine does: room for a whole receive, filled in part.
    const auto tail = buffer.PrepareAppend(64 * 1024);
    std::memcpy(tail.data(), input.data() + fed, chunk);
    buffer.Commit(chunk);
    fed += chunk;
    while (const auto line = buffer.TakeLine()) {
      const std::size_t lf = input.find('\n', next_line_at);
      Check(lf != std::string_view::npos && lf < fed);
      Check(*line == ExpectedLine(input.substr(next_line_at, lf + 1 - next_line_at)));
      Check(line->size() >= 2 && line->substr(line->size() - 2) == "\r\n");
      Check(line->find('\0') == std::string_view::npos);
      next_line_at = lf + 1;
    }
    // Every whole line fed so far has been handed out.
    Check(input.substr(next_line_at, fed - next_line_at).find('\n') == std::string_view::npos);
    Check(buffer.pending() == fed - next_line_at);
  }
  return 0;
}
