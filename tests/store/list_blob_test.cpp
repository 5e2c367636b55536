// ListBlob: the stored layout field by field (with its length-modulo-8 padding), decoding
// back, and damaged blobs that must be refused without reading outside them.
#include "store/list_blob.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::Le32;

// The blob built independently from the layout table: fixed part, offset array, addresses,
// name, then (unpadded length % 8) zero bytes.
std::string ExpectedBlob(const std::string& name, const std::vector<std::string>& addresses) {
  const std::size_t n = addresses.size();
  std::size_t at = 24 + 4 * n;
  std::string offsets;
  std::string texts;
  for (const auto& a : addresses) {
    offsets += Le32(static_cast<std::uint32_t>(at));
    texts += a + '\0';
    at += a.size() + 1;
  }
  const std::size_t name_offset = at;
  texts += name + '\0';
  const std::size_t unpadded = 24 + offsets.size() + texts.size();
  const std::size_t total = unpadded + unpadded % 8;
  std::string blob = Le32(static_cast<std::uint32_t>(total)) +
                     Le32(static_cast<std::uint32_t>(name_offset)) +
                     Le32(static_cast<std::uint32_t>(n)) + Le32(0) + Le32(24) + Le32(0) + offsets +
                     texts;
  blob.append(unpadded % 8, '\0');
  return blob;
}

struct LayoutCase {
  const char* name;
  ListBlob blob;
  std::size_t unpadded;  // 24 + 4n + addresses + name, terminators included
  std::size_t padding;   // expected padding bytes
};

class ListBlobLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ListBlobLayoutTest, EncodesFieldByFieldAndDecodesBack) {
  const LayoutCase& c = GetParam();
  const std::string want = ExpectedBlob(c.blob.name, c.blob.addresses);
  const std::string got = EncodeListBlob(c.blob);
  EXPECT_EQ(got, want);
  // The padding is the stored rule (unpadded length mod 8), not an alignment to 8.
  ASSERT_EQ(got.size(), c.unpadded + c.padding);
  EXPECT_EQ(got.substr(c.unpadded), std::string(c.padding, '\0'));
  auto parsed = ParseListBlob(got);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, c.blob);
}

// 24 + 4n + addresses + name is the unpadded length; the rows cover several paddings.
INSTANTIATE_TEST_SUITE_P(
    Rows, ListBlobLayoutTest,
    ::testing::Values(
        // 24 + 4 + 4 ("a@b\0") + 1 ("\0") = 33 -> p = 1
        LayoutCase{"OneAddressEmptyName", {"", {"a@b"}}, 33, 1},
        // 24 + 4 + 8 + 4 = 40 -> p = 0
        LayoutCase{"UnpaddedMultipleOfEight", {"Ann", {"ann@x.o"}}, 40, 0},
        // 24 + 8 + 8 + 8 + 7 = 55 -> p = 7
        LayoutCase{"PaddingSeven", {"Bob Ro", {"b@x.org", "r@y.net"}}, 55, 7},
        // 24 + 12 + 6 + 6 + 6 + 5 = 59 -> p = 3
        LayoutCase{"ThreeAddresses", {"Cara", {"c@d.e", "f@g.h", "i@j.k"}}, 59, 3},
        LayoutCase{"NoAddresses", {"Nobody", {}}, 31, 7}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListBlobTest, ReservedWordTwentyIsIgnoredOnReading) {
  std::string bytes = ExpectedBlob("Ann", {"ann@x.org"});
  bytes.replace(20, 4, Le32(0xDEADBEEF));
  auto parsed = ParseListBlob(bytes);
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->name, "Ann");
  EXPECT_EQ(parsed->addresses, std::vector<std::string>{"ann@x.org"});
}

struct MalformedCase {
  const char* name;
  // Changes a good blob of two addresses ("ann@x.org", "b@y.com", name "Ann").
  std::string (*damage)(std::string blob);
};

class ListBlobMalformedTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(ListBlobMalformedTest, IsRefused) {
  const std::string good = ExpectedBlob("Ann", {"ann@x.org", "b@y.com"});
  ASSERT_TRUE(ParseListBlob(good).has_value());
  const std::string bad = GetParam().damage(good);
  EXPECT_FALSE(ParseListBlob(bad).has_value());
}

std::string Word(std::string blob, std::size_t at, std::uint32_t value) {
  blob.replace(at, 4, Le32(value));
  return blob;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListBlobMalformedTest,
    ::testing::Values(
        MalformedCase{"Empty", [](std::string) { return std::string(); }},
        MalformedCase{"ShorterThanFixedPart",
                      [](std::string b) { return Word(b.substr(0, 20), 0, 20); }},
        MalformedCase{"SizeWordTooBig", [](std::string b) { return Word(b, 0, b.size() + 8); }},
        MalformedCase{"SizeWordTooSmall", [](std::string b) { return Word(b, 0, b.size() - 8); }},
        MalformedCase{"NameOffsetOutside", [](std::string b) { return Word(b, 4, b.size()); }},
        MalformedCase{"NameOffsetHuge", [](std::string b) { return Word(b, 4, 0xFFFFFFFF); }},
        MalformedCase{"NameWithoutTerminator",
                      [](std::string b) {
                        // The name starts at 24 + 8 + 10 + 8 = 50; no zero from there on.
                        for (std::size_t i = 50; i < b.size(); ++i) b[i] = 'x';
                        return b;
                      }},
        MalformedCase{"CountPastEnd", [](std::string b) { return Word(b, 8, 1000); }},
        MalformedCase{"CountWraps", [](std::string b) { return Word(b, 8, 0x40000001); }},
        MalformedCase{"ArrayOffsetOutside", [](std::string b) { return Word(b, 16, b.size()); }},
        MalformedCase{"ArrayOffsetHuge", [](std::string b) { return Word(b, 16, 0xFFFFFFF0); }},
        MalformedCase{"AddressOffsetOutside",
                      [](std::string b) { return Word(b, 28, b.size() + 100); }},
        MalformedCase{"AddressOffsetAtEnd", [](std::string b) { return Word(b, 24, b.size()); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Random damage to good blobs: never a read outside the bytes (the sanitizer build checks),
// and whatever decodes re-encodes to a blob that decodes to the same contact.
TEST(ListBlobTest, RandomDamageDecodesSafelyAndConsistently) {
  const std::string good = ExpectedBlob("Some Name", {"ann@x.org", "b@y.com", "c@z.net"});
  std::uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1103515245u + 12345u;
    return state >> 8;
  };
  int decoded = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string bytes = good;
    const int edits = 1 + static_cast<int>(next() % 4);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = next() % bytes.size();
      // Small word values aim offsets and counts at interesting places.
      if (next() % 2 == 0 && at + 4 <= bytes.size()) {
        bytes.replace(at - at % 4, 4, Le32(next() % 96));
      } else {
        bytes[at] = static_cast<char>(next());
      }
    }
    if (next() % 8 == 0) bytes.resize(next() % (bytes.size() + 1));
    auto parsed = ParseListBlob(bytes);
    if (!parsed) continue;
    ++decoded;
    auto again = ParseListBlob(EncodeListBlob(*parsed));
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(*again, *parsed);
  }
  EXPECT_GT(decoded, 0);
}

TEST(ListBlobTest, EmbeddedZeroEndsTheStoredText) {
  ListBlob blob{std::string("Ann\0hidden", 10), {std::string("a@b\0c", 5)}};
  auto parsed = ParseListBlob(EncodeListBlob(blob));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->name, "Ann");
  EXPECT_EQ(parsed->addresses, std::vector<std::string>{"a@b"});
}

}  // namespace
}  // namespace pelrion::store
