// MD5 message digest (RFC 1321). Guards every stored record and message file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelrion::crypto {

using Md5Digest = std::array<std::uint8_t, 16>;

// Incremental MD5: Update any number of times, then Final once.
class Md5 {
 public:
  Md5();
  void Update(const void* data, std::size_t size);
  void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
  Md5Digest Final();

 private:
  void Transform(const std::uint8_t block[64]);

  std::array<std::uint32_t, 4> state_;
  std::uint64_t length_ = 0;  // bytes fed so far
  std::array<std::uint8_t, 64> buffer_{};
};

Md5Digest Md5Of(const void* data, std::size_t size);
inline Md5Digest Md5Of(std::string_view bytes) { return Md5Of(bytes.data(), bytes.size()); }

}  // namespace pelrion::crypto
