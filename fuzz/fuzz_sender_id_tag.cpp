// Reads the Sender-ID tag out of arbitrary text; checks a decoded tag is consistent: a
// non-zero number, a zero-free address shorter than the text, and a tag written for that
// address and number reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "validation/request_marks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using pelrion::validation::ParseSenderIdTag;
  using pelrion::validation::SenderIdTag;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const SenderIdTag tag = ParseSenderIdTag(text);
  if (tag.decoded && !tag.tag_present) std::abort();
  if (!tag.decoded) {
    if (!tag.address.empty() || tag.number != 0) std::abort();
    return 0;
  }
  if (tag.number == 0 || tag.number == UINT32_MAX) std::abort();
  // The token decodes into at most (length * 3 + 1) / 4 bytes, one of them the zero byte.
  if (tag.address.size() >= size) std::abort();
  const SenderIdTag again =
      ParseSenderIdTag(pelrion::validation::FormatSubjectTag("s", tag.address, tag.number));
  if (tag.address.find('\0') != std::string::npos) std::abort();
  if (!again.decoded || again.address != tag.address || again.number != tag.number) std::abort();
  return 0;
}
