#include <gtest/gtest.h>

#include <string>

#include "store/byte_reader.h"
#include "store/byte_writer.h"
#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::Le32;

TEST(ByteWriterTest, WritesFieldsLittleEndianInOrder) {
  ByteWriter out;
  out.U32(0x11223344);
  out.I32(-2);
  out.U8(0xAB);
  out.Text("pop.example.com", 20);
  out.Text("much too long", 5);  // cut to 4 bytes + terminator
  out.Zeros(3);
  out.Bytes("raw");
  const std::string want = Le32(0x11223344) + Le32(0xFFFFFFFE) + "\xAB" +
                           std::string("pop.example.com") + std::string(5, '\0') + "much" +
                           std::string(1, '\0') + std::string(3, '\0') + "raw";
  EXPECT_EQ(out.bytes(), want);
  EXPECT_EQ(out.size(), 4 + 4 + 1 + 20 + 5 + 3 + 3u);
}

TEST(ByteReaderTest, ReadsBackWhatWasWritten) {
  const std::string bytes = Le32(0xDEADBEEF) + Le32(0x80000000) + "\x07" +
                            std::string("host") + std::string(4, '\0') + "abc";
  ByteReader in(bytes);
  EXPECT_EQ(in.U32(), 0xDEADBEEFu);
  EXPECT_EQ(in.I32(), INT32_MIN);
  EXPECT_EQ(in.U8(), 7);
  EXPECT_EQ(in.Text(8), "host");
  EXPECT_EQ(in.Bytes(3), "abc");
  EXPECT_TRUE(in.ok());
  EXPECT_EQ(in.position(), bytes.size());
}

TEST(ByteReaderTest, ShortInputFailsWithoutReadingPastTheEnd) {
  struct Row {
    const char* name;
    std::string bytes;
    int field;  // 0: U32, 1: U8, 2: Bytes(4), 3: Text(4)
  };
  for (const Row& row : {Row{"U32FromThree", "abc", 0}, Row{"U8FromNone", "", 1},
                         Row{"BytesFromThree", "abc", 2}, Row{"TextFromTwo", "ab", 3}}) {
    SCOPED_TRACE(row.name);
    ByteReader in(row.bytes);
    switch (row.field) {
      case 0:
        EXPECT_EQ(in.U32(), 0u);
        break;
      case 1:
        EXPECT_EQ(in.U8(), 0);
        break;
      case 2:
        EXPECT_EQ(in.Bytes(4), "");
        break;
      case 3:
        EXPECT_EQ(in.Text(4), "");
        break;
    }
    EXPECT_FALSE(in.ok());
    EXPECT_EQ(in.U32(), 0u) << "stays failed";
  }
  EXPECT_FALSE(U32At("abcd", 1).has_value());
  EXPECT_FALSE(U32At("abcd", 9).has_value());
  EXPECT_EQ(U32At(Le32(0x01020304), 0), 0x01020304u);
}

TEST(ByteReaderTest, TextWithoutTerminatorTakesTheWholeField) {
  ByteReader in("abcdef");
  EXPECT_EQ(in.Text(4), "abcd");
  EXPECT_EQ(in.Bytes(2), "ef");
}

}  // namespace
}  // namespace pelrion::store
