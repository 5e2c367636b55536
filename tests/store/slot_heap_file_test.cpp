#include <gtest/gtest.h>

#include <string>

#include "store/heap_file.h"
#include "store/slot_file.h"
#include "store/store_test_helpers.h"
#include "store/test_records.h"

namespace pelrion::store {
namespace {

using testing::Le32;
using testing::MakeBlob;
using testing::Md5Raw;
using testing::ReadFile;
using testing::TempDir;
using testing::TestContact;
using testing::TestDigest;
using testing::TestMessage;

TEST(SlotFileTest, AllocatedSlotsFollowEachOtherWithDigestThenEntry) {
  TempDir dir;
  SlotFile slots(dir.File("db7.dat"), 20);
  TestDigest first(5, "<a@example.com>");
  TestDigest second(6, "UIDL-17");

  slots.WriteSlot(first, /*allocate=*/true);
  slots.WriteSlot(second, /*allocate=*/true);

  const std::string e1 = Le32(5) + Md5Raw("<a@example.com>");
  const std::string e2 = Le32(6) + Md5Raw("UIDL-17");
  EXPECT_EQ(ReadFile(slots.path()), Md5Raw(e1) + e1 + Md5Raw(e2) + e2);
  EXPECT_EQ(first.slot_offset(), 0u);
  EXPECT_EQ(second.slot_offset(), 36u);
  EXPECT_EQ(slots.end_offset(), 72u);
}

TEST(SlotFileTest, RewriteInPlaceTouchesOnlyItsSlot) {
  TempDir dir;
  SlotFile slots(dir.File("db1.dat"), 36);
  TestMessage a(1, MakeBlob("x")), b(2, MakeBlob("y"));
  slots.WriteSlot(a, true);
  slots.WriteSlot(b, true);
  TestMessage changed(1, MakeBlob("x"), /*flags=*/0x08);
  changed.set_slot_offset(a.slot_offset());

  slots.WriteSlot(changed, /*allocate=*/false);

  const std::string ea = changed.Entry(), eb = b.Entry();
  EXPECT_EQ(ReadFile(slots.path()), Md5Raw(ea) + ea + Md5Raw(eb) + eb);
  EXPECT_EQ(slots.end_offset(), 104u);
}

TEST(SlotFileTest, FreeSlotWritesZeroEntryAndZeroDigest) {
  TempDir dir;
  SlotFile slots(dir.File("db3.dat"), 16);
  TestContact a(1, MakeBlob("a")), b(2, MakeBlob("b")), c(3, MakeBlob("c"));
  for (TestContact* r : {&a, &b, &c}) slots.WriteSlot(*r, true);

  slots.FreeSlot(b);

  const std::string ea = a.Entry(), ec = c.Entry();
  EXPECT_EQ(ReadFile(slots.path()), Md5Raw(ea) + ea + std::string(32, '\0') + Md5Raw(ec) + ec);
}

TEST(HeapFileTest, AppendBlobWritesHeaderThenBlobAtTheEndOffset) {
  struct Row {
    const char* name;
    HeapHeader header;
    std::size_t header_size;
  };
  for (const Row& row : {Row{"IdAndDigest", HeapHeader::kIdAndDigest, 20},
                         Row{"DigestOnly", HeapHeader::kDigest, 16}}) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    HeapFile heap(dir.File("heap.dat"), row.header);
    const std::string blob1 = MakeBlob("first summary"), blob2 = MakeBlob("second");
    TestMessage one(0xA1B2C3D4, blob1), two(42, blob2);

    heap.AppendBlob(one);
    heap.AppendBlob(two);

    auto header = [&](std::uint32_t id, const std::string& blob) {
      return (row.header == HeapHeader::kIdAndDigest ? Le32(id) : "") + Md5Raw(blob);
    };
    EXPECT_EQ(ReadFile(heap.path()), header(0xA1B2C3D4, blob1) + blob1 + header(42, blob2) + blob2);
    EXPECT_EQ(one.item().offset, 0u);
    EXPECT_EQ(one.item().size, blob1.size());
    EXPECT_EQ(two.item().offset, row.header_size + blob1.size());
    EXPECT_EQ(heap.end_offset(), 2 * row.header_size + blob1.size() + blob2.size());
  }
}

TEST(HeapFileTest, AppendUpToTheLimitIsAllowed) {
  TempDir dir;
  HeapFile heap(dir.File("db4.dat"), HeapHeader::kDigest);
  const std::string blob = MakeBlob("abcd");  // 8 bytes + 16 header = 24
  testing::WriteFile(heap.path(), "");  // loaded: the file exists (an append past 0 never creates it)
  heap.set_end_offset(kHeapLimit - 24);
  const HeapItem item = heap.AppendBlob(blob, 0);
  EXPECT_EQ(item.offset, kHeapLimit - 24);
  EXPECT_EQ(heap.end_offset(), kHeapLimit);
}

TEST(HeapFileDeathTest, AppendPastTheLimitIsADatabaseError) {
  TempDir dir;
  HeapFile heap(dir.File("db4.dat"), HeapHeader::kDigest);
  heap.AppendBlob(MakeBlob("kept"), 0);
  const std::string before = ReadFile(heap.path());
  heap.set_end_offset(kHeapLimit - 23);  // one byte too far for a 24-byte item
  EXPECT_EXIT(heap.AppendBlob(MakeBlob("abcd"), 0), ::testing::ExitedWithCode(1),
              "Critical error on database access.");
  EXPECT_EQ(ReadFile(heap.path()), before);
}

}  // namespace
}  // namespace pelrion::store
