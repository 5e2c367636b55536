#include "store/store_test_helpers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "crypto/md5.h"

namespace pelrion::store::testing {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

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
