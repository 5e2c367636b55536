#include "mailformat/charset_table.h"

namespace pelrion::mailformat {

int CharsetIndexOrDefault(long long index) {
  if (index < 0 || index >= static_cast<long long>(kCharsetTable.size())) {
    return kDefaultCharsetIndex;
  }
  return static_cast<int>(index);
}

const CharsetRow& CharsetRowAt(long long index) {
  return kCharsetTable[static_cast<std::size_t>(CharsetIndexOrDefault(index))];
}

std::string_view CharsetDisplayName(long long index) {
  return CharsetRowAt(index).display_name;
}

std::string_view CharsetMimeName(long long index) {
  return CharsetRowAt(index).mime_name;
}

}  // namespace pelrion::mailformat
