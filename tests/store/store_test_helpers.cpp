#include "store/store_test_helpers.h"

#include "crypto/md5.h"

namespace pelrion::store::testing {

std::string Le32(std::uint32_t value) {
  std::string out;
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
  out.push_back(static_cast<char>((value >> 16) & 0xFF));
  out.push_back(static_cast<char>((value >> 24) & 0xFF));
  return out;
}

std::string Md5Raw(std::string_view data) {
  crypto::Md5Digest digest = crypto::Md5Of(data);
  return std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

std::string TextField(std::string_view text, std::size_t size) {
  std::string field(text);
  field.resize(size, '\0');
  return field;
}

}  // namespace pelrion::store::testing
