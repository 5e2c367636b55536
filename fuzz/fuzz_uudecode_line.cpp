// UudecodeLine on arbitrary lines: no crash, no read outside the line; the result is -2, -1
// or 1..45 and equals the number of bytes appended, and the size check without decoding
// reports the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mailformat/uuencode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelrion::mailformat;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  std::string out;
  const int result = UudecodeLine(line, out);
  if (UudecodedLineSize(line) != result) std::abort();
  if (result == kUudecodeMalformed || result == kUudecodeZeroLength) {
    if (!out.empty()) std::abort();
    return 0;
  }
  if (result < 1 || result > 45 || out.size() != static_cast<std::size_t>(result)) std::abort();
  // Four characters give at most three bytes, after the count character.
  if (static_cast<std::size_t>(result) * 4 > (size - 1) * 3) std::abort();
  return 0;
}
