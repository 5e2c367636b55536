// Base64Decode on arbitrary bytes: no crash, no read outside the input, and the decoded size
// stays within three quarters of the input; decoded bytes re-encode and decode to themselves;
// the size count without decoding reports exactly what decoding reports.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mailformat/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelrion::mailformat;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string out = "kept";
  const Base64DecodeResult result = Base64Decode(text, out);
  const Base64DecodeResult counted = Base64DecodedSize(text);
  if (counted.ok != result.ok || counted.size != result.size ||
      counted.ended_at_pad != result.ended_at_pad) {
    std::abort();
  }
  if (!result.ok) {
    if (out != "kept") std::abort();
    return 0;
  }
  if (out.size() != 4 + result.size || result.size * 4 > size * 3) std::abort();
  const std::string decoded = out.substr(4);
  std::string again;
  if (!Base64Decode(Base64Encode(decoded), again).ok || again != decoded) std::abort();
  return 0;
}
