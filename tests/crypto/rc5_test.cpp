#include "crypto/rc5.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace pelrion::crypto {
namespace {

std::vector<std::uint8_t> FromHex(std::string_view hex) {
  std::vector<std::uint8_t> out;
  auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
  }
  return out;
}

struct Rc5Vector {
  const char* name;
  const char* key;
  const char* plain;
  const char* cipher;
};

// RC5-32/12/16 examples of Rivest's RC5 paper (each plaintext is the previous ciphertext).
// The paper prints bytes in memory order, i.e. the block's two little-endian words.
const Rc5Vector kPaperVectors[] = {
    {"ZeroKey", "00000000000000000000000000000000", "0000000000000000", "21A5DBEE154B8F6D"},
    {"Chain1", "915F4619BE41B2516355A50110A9CE91", "21A5DBEE154B8F6D", "F7C013AC5B2B8952"},
    {"Chain2", "783348E75AEB0F2FD7B169BB8DC16787", "F7C013AC5B2B8952", "2F42B3B70369FC92"},
    {"Chain3", "DC49DB1375A5584F6485B413B5F12BAF", "2F42B3B70369FC92", "65C178B284D197CC"},
    {"Chain4", "5269F149D41BA0152497574D7F153125", "65C178B284D197CC", "EB44E415DA319824"},
};

class Rc5PaperTest : public testing::TestWithParam<Rc5Vector> {};

TEST_P(Rc5PaperTest, EncryptsAndDecrypts) {
  const Rc5 rc5(FromHex(GetParam().key), 12);
  std::vector<std::uint8_t> block = FromHex(GetParam().plain);
  rc5.Encrypt(block);
  EXPECT_EQ(block, FromHex(GetParam().cipher));
  rc5.Decrypt(block);
  EXPECT_EQ(block, FromHex(GetParam().plain));
}

INSTANTIATE_TEST_SUITE_P(RivestPaper, Rc5PaperTest, testing::ValuesIn(kPaperVectors),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Rc5Test, BlockWordsAreLittleEndian) {
  const Rc5 rc5(FromHex(kPaperVectors[0].key), 12);
  std::uint32_t a = 0, b = 0;
  rc5.EncryptBlock(a, b);
  EXPECT_EQ(a, 0xEEDBA521u);
  EXPECT_EQ(b, 0x6D8F4B15u);
  rc5.DecryptBlock(a, b);
  EXPECT_EQ(a, 0u);
  EXPECT_EQ(b, 0u);
}

// The program's use: 16 rounds, an 8-byte key, a 64-byte field of 8 blocks.
TEST(Rc5Test, SixteenRoundEightByteKeyRoundTripsRandomFields) {
  const std::string_view key = "rxmoqtbe";
  const Rc5 rc5(std::span(reinterpret_cast<const std::uint8_t*>(key.data()), key.size()), 16);
  std::mt19937 rng(2040);
  for (int trial = 0; trial < 200; ++trial) {
    std::array<std::uint8_t, 64> field;
    for (auto& byte : field) byte = static_cast<std::uint8_t>(rng());
    const auto original = field;
    rc5.Encrypt(field);
    EXPECT_NE(field, original);
    rc5.Decrypt(field);
    ASSERT_EQ(field, original) << "trial " << trial;
  }
}

TEST(Rc5Test, EcbEncryptsEqualBlocksAlikeAndLeavesPartialTail) {
  const std::vector<std::uint8_t> key = FromHex("0102030405060708");
  const Rc5 rc5(key, 16);
  std::vector<std::uint8_t> data(16 + 5, 0x5A);
  rc5.Encrypt(data);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 8, data.begin() + 8));
  EXPECT_EQ(std::vector<std::uint8_t>(data.begin() + 16, data.end()),
            std::vector<std::uint8_t>(5, 0x5A));
}

TEST(Rc5Test, KeyAndRoundCountChangeTheCipher) {
  const std::vector<std::uint8_t> key1 = FromHex("72786d6f71746265");
  const std::vector<std::uint8_t> key2 = FromHex("72786d6f71746266");
  std::uint32_t a1 = 1, b1 = 2, a2 = 1, b2 = 2, a3 = 1, b3 = 2;
  Rc5(key1, 16).EncryptBlock(a1, b1);
  Rc5(key2, 16).EncryptBlock(a2, b2);
  Rc5(key1, 12).EncryptBlock(a3, b3);
  EXPECT_TRUE(a1 != a2 || b1 != b2);
  EXPECT_TRUE(a1 != a3 || b1 != b3);
}

// Key lengths that are not a multiple of 4, an empty key and zero rounds must still give a
// working, invertible cipher (no out-of-range key word access).
TEST(Rc5Test, UnusualKeyLengthsAndRoundCountsRoundTrip) {
  std::mt19937 rng(5);
  for (std::size_t key_length : {0u, 1u, 3u, 5u, 7u, 8u, 16u, 255u}) {
    for (int rounds : {0, 1, 12, 16, 20}) {
      std::vector<std::uint8_t> key(key_length);
      for (auto& byte : key) byte = static_cast<std::uint8_t>(rng());
      const Rc5 rc5(key, rounds);
      std::uint32_t a = rng(), b = rng();
      const std::uint32_t a0 = a, b0 = b;
      rc5.EncryptBlock(a, b);
      rc5.DecryptBlock(a, b);
      SCOPED_TRACE("key length " + std::to_string(key_length) + " rounds " + std::to_string(rounds));
      EXPECT_EQ(a, a0);
      EXPECT_EQ(b, b0);
    }
  }
}

}  // namespace
}  // namespace pelrion::crypto
