// Unfolds then splits arbitrary bytes as a header block; checks the parallel lists stay paired
// and every field is made of bytes of the unfolded input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mailformat/header_block.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string block(reinterpret_cast<const char*>(data), size);
  pelrion::mailformat::UnfoldHeaderBlock(block);
  if (block.size() > size) std::abort();  // unfolding only removes bytes
  const pelrion::mailformat::HeaderList headers = pelrion::mailformat::SplitHeaderBlock(block);
  if (headers.names.size() != headers.values.size()) std::abort();
  std::size_t used = 0;
  for (std::size_t i = 0; i < headers.size(); ++i) {
    // name, colon, value and CR LF of each field tile a prefix of the block
    used += headers.names[i].size() + 1 + headers.values[i].size() + 2;
    if (headers.values[i].find("\r\n") != std::string::npos) std::abort();
  }
  if (used > block.size()) std::abort();
  if (!headers.names.empty()) {
    (void)pelrion::mailformat::FindHeader(headers, headers.names.back(), true);
  }
  return 0;
}
