// DecodeHeaderText and EncodeHeaderText on arbitrary header values: no crash, no read outside
// the input; decoding never lengthens the text and leaves no zero byte; encoding is 7-bit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mailformat/encoded_words.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelrion::mailformat;
  const std::string_view value(reinterpret_cast<const char*>(data), size);
  const std::string decoded = DecodeHeaderText(value);
  if (decoded.size() > size || decoded.find('\0') != std::string::npos) std::abort();
  if (!IsSevenBit(EncodeHeaderText(value))) std::abort();
  return 0;
}
