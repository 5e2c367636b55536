// RC5 block cipher with 32-bit words (RC5-32/r/b), ECB mode. The program uses 16 rounds
// and 8-byte keys (stored passwords, subject signatures); the key schedule takes any
// round count and key length so it can be checked against the published test vectors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelrion::crypto {

class Rc5 {
 public:
  Rc5(std::span<const std::uint8_t> key, int rounds = 16);

  // One 64-bit block as two words (A, B), read little-endian from the 8 bytes.
  void EncryptBlock(std::uint32_t& a, std::uint32_t& b) const;
  void DecryptBlock(std::uint32_t& a, std::uint32_t& b) const;

  // ECB over whole 8-byte blocks; a trailing partial block is left unchanged.
  void Encrypt(std::span<std::uint8_t> data) const;
  void Decrypt(std::span<std::uint8_t> data) const;

 private:
  int rounds_;
  std::vector<std::uint32_t> s_;  // 2 * (rounds + 1) round-key words
};

}  // namespace pelrion::crypto
