#include "store/relocatable_blob.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::Le32;

// A contact-style blob laid out by hand: size, name offset, count 2, 0, array offset 24, 0,
// two address offsets, the addresses, the name, padding of (unpadded length % 8) zeros.
std::string HandBuiltContactBlob() {
  const std::string a1 = "ann@example.com", a2 = "a@example.org", name = "Ann";
  const std::uint32_t a1_at = 32, a2_at = a1_at + 16, name_at = a2_at + 14;
  const std::uint32_t unpadded = name_at + 4;  // 66
  const std::uint32_t total = unpadded + unpadded % 8;
  return Le32(total) + Le32(name_at) + Le32(2) + Le32(0) + Le32(24) + Le32(0) + Le32(a1_at) +
         Le32(a2_at) + a1 + '\0' + a2 + '\0' + name + '\0' + std::string(unpadded % 8, '\0');
}

TEST(BlobBuilderTest, LaysOutFieldsAndPaddingExactly) {
  BlobBuilder builder(24);
  builder.SetWord(8, 2);
  builder.SetWord(16, 24);
  const std::uint32_t array_at = builder.AppendWord(0);
  builder.AppendWord(0);
  builder.SetWord(array_at, builder.AppendString("ann@example.com"));
  builder.SetWord(array_at + 4, builder.AppendString("a@example.org"));
  builder.AppendStringRef(4, "Ann");
  EXPECT_EQ(std::move(builder).Finish(), HandBuiltContactBlob());
}

TEST(BlobBuilderTest, PaddingIsUnpaddedLengthModuloEight) {
  struct Row {
    const char* name;
    std::string text;  // after a 4-byte fixed part
    std::size_t want_size;
  };
  for (const Row& row : {Row{"Multiple", "abc", 8}, Row{"OneOver", "abcd", 9 + 1},
                         Row{"SevenOver", "abcdefghij", 15 + 7}}) {
    SCOPED_TRACE(row.name);
    BlobBuilder builder(4);
    builder.AppendString(row.text);
    const std::string blob = std::move(builder).Finish();
    EXPECT_EQ(blob.size(), row.want_size);
    EXPECT_TRUE(BlobView(blob).SizeMatches());
  }
}

TEST(BlobViewTest, ReadsReferencesInsideTheBlob) {
  const std::string blob = HandBuiltContactBlob();
  BlobView view(blob);
  EXPECT_TRUE(view.SizeMatches());
  EXPECT_EQ(view.StringRef(4), "Ann");
  auto array = view.WordArray(*view.Word(16), *view.Word(8));
  ASSERT_TRUE(array.has_value());
  BlobView addresses(*array);
  EXPECT_EQ(view.StringAt(*addresses.Word(0)), "ann@example.com");
  EXPECT_EQ(view.StringAt(*addresses.Word(4)), "a@example.org");
}

TEST(BlobViewTest, NeverReadsOutsideTheBlob) {
  const std::string blob = Le32(13) + Le32(8) + "abcde";  // string at 8 has no terminator
  BlobView view(blob);
  struct Row {
    const char* name;
    std::optional<std::string_view> got;
  };
  for (const Row& row : {Row{"UnterminatedString", view.StringAt(8)},
                         Row{"OffsetAtEnd", view.StringAt(13)},
                         Row{"OffsetFarBeyond", view.StringAt(0xFFFFFFFF)},
                         Row{"RefWordOutside", view.StringRef(11)},
                         Row{"ArrayPastEnd", view.WordArray(4, 3)},
                         Row{"ArrayCountHuge", view.WordArray(0, 0x40000000)}}) {
    SCOPED_TRACE(row.name);
    EXPECT_FALSE(row.got.has_value());
  }
  EXPECT_FALSE(view.Word(10).has_value());
  EXPECT_FALSE(BlobView(Le32(12) + "abc").SizeMatches());
  EXPECT_FALSE(BlobView("ab").SizeMatches());
}

}  // namespace
}  // namespace pelrion::store
