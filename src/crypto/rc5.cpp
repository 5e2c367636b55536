#include "crypto/rc5.h"

#include <algorithm>

namespace pelrion::crypto {
namespace {

constexpr std::uint32_t kP32 = 0xB7E15163;
constexpr std::uint32_t kQ32 = 0x9E3779B9;

constexpr std::uint32_t RotateLeft(std::uint32_t x, std::uint32_t n) {
  n &= 31;
  return n == 0 ? x : (x << n) | (x >> (32 - n));
}

constexpr std::uint32_t RotateRight(std::uint32_t x, std::uint32_t n) {
  n &= 31;
  return n == 0 ? x : (x >> n) | (x << (32 - n));
}

std::uint32_t LoadLe(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}

void StoreLe(std::uint32_t v, std::uint8_t* p) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

// Key schedule of Rivest's RC5 paper: key bytes into c little-endian words L, the table S
// from P32/Q32, then 3 * max(t, c) mixing steps.
Rc5::Rc5(std::span<const std::uint8_t> key, int rounds) : rounds_(std::max(rounds, 0)) {
  const std::size_t t = 2 * (static_cast<std::size_t>(rounds_) + 1);
  const std::size_t c = std::max<std::size_t>(1, (key.size() + 3) / 4);
  std::vector<std::uint32_t> l(c, 0);
  for (std::size_t i = key.size(); i-- > 0;) l[i / 4] = (l[i / 4] << 8) + key[i];

  s_.resize(t);
  s_[0] = kP32;
  for (std::size_t i = 1; i < t; ++i) s_[i] = s_[i - 1] + kQ32;

  std::uint32_t a = 0, b = 0;
  std::size_t i = 0, j = 0;
  for (std::size_t k = 0; k < 3 * std::max(t, c); ++k) {
    a = s_[i] = RotateLeft(s_[i] + a + b, 3);
    b = l[j] = RotateLeft(l[j] + a + b, a + b);
    i = (i + 1) % t;
    j = (j + 1) % c;
  }
}

void Rc5::EncryptBlock(std::uint32_t& a, std::uint32_t& b) const {
  std::uint32_t x = a + s_[0];
  std::uint32_t y = b + s_[1];
  for (int r = 1; r <= rounds_; ++r) {
    x = RotateLeft(x ^ y, y) + s_[2 * r];
    y = RotateLeft(y ^ x, x) + s_[2 * r + 1];
  }
  a = x;
  b = y;
}

void Rc5::DecryptBlock(std::uint32_t& a, std::uint32_t& b) const {
  std::uint32_t x = a;
  std::uint32_t y = b;
  for (int r = rounds_; r >= 1; --r) {
    y = RotateRight(y - s_[2 * r + 1], x) ^ x;
    x = RotateRight(x - s_[2 * r], y) ^ y;
  }
  a = x - s_[0];
  b = y - s_[1];
}

void Rc5::Encrypt(std::span<std::uint8_t> data) const {
  for (std::size_t off = 0; off + 8 <= data.size(); off += 8) {
    std::uint32_t a = LoadLe(&data[off]);
    std::uint32_t b = LoadLe(&data[off + 4]);
    EncryptBlock(a, b);
    StoreLe(a, &data[off]);
    StoreLe(b, &data[off + 4]);
  }
}

void Rc5::Decrypt(std::span<std::uint8_t> data) const {
  for (std::size_t off = 0; off + 8 <= data.size(); off += 8) {
    std::uint32_t a = LoadLe(&data[off]);
    std::uint32_t b = LoadLe(&data[off + 4]);
    DecryptBlock(a, b);
    StoreLe(a, &data[off]);
    StoreLe(b, &data[off + 4]);
  }
}

}  // namespace pelrion::crypto
