// QuotedPrintableDecodeLine on arbitrary lines: no crash, no read outside the line; the count
// matches what was appended, and the count without decoding, and never exceeds the line plus
// its restored CR LF.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mailformat/quoted_printable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelrion::mailformat;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  std::string out = "kept";
  const std::size_t produced = QuotedPrintableDecodeLine(line, out);
  if (out.size() != 4 + produced || produced > size + 2 || out.compare(0, 4, "kept") != 0 ||
      QuotedPrintableDecodedSize(line) != produced) {
    std::abort();
  }
  // Encoding any bytes and decoding them back line by line is exercised on the same input.
  const std::string encoded = QuotedPrintableEncode(line);
  for (std::size_t begin = 0; begin < encoded.size();) {
    std::size_t end = encoded.find("\r\n", begin);
    if (end == std::string::npos) end = encoded.size();
    if (end - begin > 76) std::abort();
    begin = end + 2;
  }
  return 0;
}
