// The 2048-bucket hashes of the in-memory indexes: a multiplicative step on a 32-bit key,
// and the fold that turns a text key (an address) into 32 bits first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelrion::store {

inline constexpr std::size_t kHashBuckets = 2048;  // 2^11

// (key * 618033988 mod 2^32) >> 21: a bucket number 0..2047.
constexpr std::uint32_t BucketOf(std::uint32_t key) {
  return static_cast<std::uint32_t>(key * 618033988u) >> 21;
}

// h ^= byte << s for each byte in order, s running 2, 1, 0, 23, 22, ..., 1, 0, 23, ...
constexpr std::uint32_t FoldText(std::string_view text) {
  std::uint32_t h = 0;
  unsigned shift = 2;
  for (char c : text) {
    h ^= static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << shift;
    shift = shift == 0 ? 23 : shift - 1;
  }
  return h;
}

constexpr std::uint32_t BucketOfText(std::string_view text) { return BucketOf(FoldText(text)); }

}  // namespace pelrion::store
