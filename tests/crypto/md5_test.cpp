#include "crypto/md5.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace pelrion::crypto {
namespace {

std::string Hex(const Md5Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::uint8_t byte : digest) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
  return out;
}

struct Md5Case {
  const char* name;
  std::string input;
  const char* hex;
};

// RFC 1321 appendix A.5 test suite.
const Md5Case kRfc1321Suite[] = {
    {"Empty", "", "d41d8cd98f00b204e9800998ecf8427e"},
    {"A", "a", "0cc175b9c0f1b6a831c399e269772661"},
    {"Abc", "abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"MessageDigest", "message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"Alphabet", "abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"AlphaNumeric", "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"Digits80",
     "1234567890123456789012345678901234567890123456789012345678901234567890123456789"
     "0",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

class Md5SuiteTest : public testing::TestWithParam<Md5Case> {};

TEST_P(Md5SuiteTest, OneShotMatchesRfc) {
  EXPECT_EQ(Hex(Md5Of(GetParam().input)), GetParam().hex);
}

// Feeding the same bytes in chunks of every size from 1 to 70 must give the same digest,
// which exercises the buffering across the 64-byte block boundary and the padding.
TEST_P(Md5SuiteTest, ChunkedUpdateMatchesOneShot) {
  const std::string& input = GetParam().input;
  for (std::size_t chunk = 1; chunk <= 70; ++chunk) {
    SCOPED_TRACE("chunk size " + std::to_string(chunk));
    Md5 md5;
    for (std::size_t off = 0; off < input.size(); off += chunk) {
      md5.Update(std::string_view(input).substr(off, chunk));
    }
    EXPECT_EQ(Hex(md5.Final()), GetParam().hex);
  }
}

INSTANTIATE_TEST_SUITE_P(Rfc1321, Md5SuiteTest, testing::ValuesIn(kRfc1321Suite),
                         [](const auto& info) { return std::string(info.param.name); });

// Lengths around the padding boundaries (55, 56, 63, 64, 65 bytes) in odd chunk patterns.
TEST(Md5Test, OddChunkPatternsMatchOneShotOnRandomData) {
  std::mt19937 rng(1321);
  for (std::size_t length : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
    std::string data(length, '\0');
    for (char& c : data) c = static_cast<char>(rng());
    const Md5Digest expected = Md5Of(data);
    Md5 md5;
    std::size_t off = 0;
    for (std::size_t step = 1; off < data.size(); step = step * 3 % 17 + 1) {
      std::size_t take = std::min(step, data.size() - off);
      md5.Update(data.data() + off, take);
      off += take;
    }
    SCOPED_TRACE("length " + std::to_string(length));
    EXPECT_EQ(Hex(md5.Final()), Hex(expected));
  }
}

TEST(Md5Test, MillionAs) {
  Md5 md5;
  const std::string block(1000, 'a');
  for (int i = 0; i < 1000; ++i) md5.Update(block);
  EXPECT_EQ(Hex(md5.Final()), "7707d6ae4e027c70eea2a935c2296f21");
}

}  // namespace
}  // namespace pelrion::crypto
