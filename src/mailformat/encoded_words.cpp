#include "mailformat/encoded_words.h"

namespace pelrion::mailformat {

std::string DecodeHeaderText(std::string_view value) { return std::string(value); }

std::string EncodeHeaderText(std::string_view phrase) { return std::string(phrase); }

bool IsSevenBit(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return false;
  }
  return true;
}

}  // namespace pelrion::mailformat
