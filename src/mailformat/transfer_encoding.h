// Content-Transfer-Encoding of a MIME part. The numbers are the words a PartEntry stores in the
// message summary; code outside the store converts only at that boundary.
#pragma once

#include <cstdint>

namespace pelrion::mailformat {

enum class TransferEncoding : std::uint32_t {
  k7Bit = 0,
  k8Bit = 1,
  kBase64 = 2,
  kQuotedPrintable = 3,
  kUndecodable = 4,  // any other value: such a part is never decoded
};

// The stored word of an encoding, and back. A stored word outside 0..4 is kept as it is read
// (so that a summary is written back unchanged); decoding treats it as undecodable.
constexpr std::uint32_t TransferEncodingWord(TransferEncoding encoding) {
  return static_cast<std::uint32_t>(encoding);
}
constexpr TransferEncoding TransferEncodingFromWord(std::uint32_t word) {
  return static_cast<TransferEncoding>(word);
}

}  // namespace pelrion::mailformat
