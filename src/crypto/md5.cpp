#include "crypto/md5.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace pelrion::crypto {
namespace {

// RFC 1321 section 3.4: per-step shift amounts and the sine-derived constants T[i].
constexpr std::uint32_t kShift[64] = {
    7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
    5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
    4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
    6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613,
    0xfd469501, 0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193,
    0xa679438e, 0x49b40821, 0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d,
    0x02441453, 0xd8a1e681, 0xe7d3fbc8, 0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed,
    0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a, 0xfffa3942, 0x8771f681, 0x6d9d6122,
    0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70, 0x289b7ec6, 0xeaa127fa,
    0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665, 0xf4292244,
    0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb,
    0xeb86d391};

constexpr std::uint32_t RotateLeft(std::uint32_t x, std::uint32_t n) {
  return (x << n) | (x >> (32 - n));
}

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476} {}

namespace {

// Step i of RFC 1321 section 3.4 on the state words a, b, c, d as that step names them.
// Every step is its own instantiation, so the compiler sees constant shifts, constants and
// word indices, and the four words stay in registers: this runs about twice as fast as a
// loop over the steps, and every stored record's digest is checked at each start.
template <int I>
inline void Step(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                 const std::uint32_t* x) {
  std::uint32_t f;
  int g;
  if constexpr (I < 16) {
    f = d ^ (b & (c ^ d));  // (b & c) | (~b & d)
    g = I;
  } else if constexpr (I < 32) {
    f = c ^ (d & (b ^ c));  // (b & d) | (c & ~d)
    g = (5 * I + 1) % 16;
  } else if constexpr (I < 48) {
    f = b ^ c ^ d;
    g = (3 * I + 5) % 16;
  } else {
    f = c ^ (b | ~d);
    g = (7 * I) % 16;
  }
  a = b + RotateLeft(a + f + kSine[I] + x[g], kShift[I]);
}

// The words rotate by one place each step: step i updates word (4 - i % 4) % 4.
template <int... I>
inline void AllSteps(std::uint32_t (&s)[4], const std::uint32_t* x,
                     std::integer_sequence<int, I...>) {
  (Step<I>(s[(4 - I % 4) % 4], s[(5 - I % 4) % 4], s[(6 - I % 4) % 4], s[(7 - I % 4) % 4], x),
   ...);
}

}  // namespace

void Md5::Transform(const std::uint8_t block[64]) {
  std::uint32_t x[16];
  for (int i = 0; i < 16; ++i) {
    x[i] = std::uint32_t{block[i * 4]} | (std::uint32_t{block[i * 4 + 1]} << 8) |
           (std::uint32_t{block[i * 4 + 2]} << 16) | (std::uint32_t{block[i * 4 + 3]} << 24);
  }
  std::uint32_t s[4] = {state_[0], state_[1], state_[2], state_[3]};
  AllSteps(s, x, std::make_integer_sequence<int, 64>{});
  state_[0] += s[0];
  state_[1] += s[1];
  state_[2] += s[2];
  state_[3] += s[3];
}

void Md5::Update(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t used = static_cast<std::size_t>(length_ % 64);
  length_ += size;
  if (used != 0) {
    std::size_t take = std::min(size, 64 - used);
    std::memcpy(buffer_.data() + used, bytes, take);
    bytes += take;
    size -= take;
    if (used + take < 64) return;
    Transform(buffer_.data());
  }
  for (; size >= 64; bytes += 64, size -= 64) Transform(bytes);
  if (size != 0) std::memcpy(buffer_.data(), bytes, size);
}

Md5Digest Md5::Final() {
  // RFC 1321 sections 3.1-3.2: a 0x80 byte, zeros up to 56 mod 64, then the bit length.
  std::uint64_t bit_length = length_ * 8;
  std::uint8_t pad[72] = {0x80};
  std::size_t used = static_cast<std::size_t>(length_ % 64);
  std::size_t pad_size = (used < 56 ? 56 : 120) - used;
  for (int i = 0; i < 8; ++i) pad[pad_size + i] = static_cast<std::uint8_t>(bit_length >> (8 * i));
  Update(pad, pad_size + 8);

  Md5Digest digest;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) digest[i * 4 + j] = static_cast<std::uint8_t>(state_[i] >> (8 * j));
  }
  return digest;
}

Md5Digest Md5Of(const void* data, std::size_t size) {
  Md5 md5;
  md5.Update(data, size);
  return md5.Final();
}

}  // namespace pelrion::crypto
