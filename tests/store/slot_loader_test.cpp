#include "store/slot_loader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "store/byte_reader.h"
#include "store/store_test_helpers.h"
#include "store/test_records.h"

namespace pelrion::store {
namespace {

using testing::Le32;
using testing::MakeBlob;
using testing::Md5Raw;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// Hand-built "db1.dat"/"db2.dat" contents: three messages, ids 11, 22, 33.
struct MessagePair {
  std::string slots;
  std::string heap;
  std::vector<std::string> blobs;
};

std::string MessageEntry(std::uint32_t id, std::uint32_t offset, std::uint32_t size) {
  return Le32(id) + Le32(offset) + Le32(size) + Le32(1) + Le32(0x03) + std::string(16, '\0');
}

MessagePair ThreeMessages() {
  MessagePair pair;
  const std::uint32_t ids[] = {11, 22, 33};
  for (std::uint32_t id : ids) {
    std::string blob = MakeBlob("summary of " + std::to_string(id));
    const auto offset = static_cast<std::uint32_t>(pair.heap.size());
    pair.heap += Le32(id) + Md5Raw(blob) + blob;
    const std::string entry = MessageEntry(id, offset, static_cast<std::uint32_t>(blob.size()));
    pair.slots += Md5Raw(entry) + entry;
    pair.blobs.push_back(blob);
  }
  return pair;
}

std::vector<std::uint32_t> IdsOf(const SlotLoadResult& result) {
  std::vector<std::uint32_t> ids;
  for (const ScannedSlot& slot : result.kept) ids.push_back(U32At(slot.entry, 0).value_or(0));
  return ids;
}

struct LoadCase {
  std::string name;
  std::function<void(MessagePair&)> damage;
  std::vector<std::uint32_t> want_kept;
  std::vector<std::size_t> want_freed_slots;  // slot indexes zeroed on disk
};

std::vector<LoadCase> LoadCases() {
  return {
      {"Intact", [](MessagePair&) {}, {11, 22, 33}, {}},
      {"FlippedEntryByte", [](MessagePair& p) { p.slots[52 + 16 + 17] ^= 0x04; }, {11, 33}, {1}},
      {"FlippedSlotDigestByte", [](MessagePair& p) { p.slots[0] ^= 0x80; }, {22, 33}, {0}},
      {"FlippedBlobByte",
       [](MessagePair& p) { p.heap[p.heap.size() - 2] ^= 0x01; },
       {11, 22},
       {2}},
      {"WrongHeapHeaderId",
       [](MessagePair& p) {
         // Second item's header id becomes 99; the blob digest is still right.
         const std::size_t at = 20 + p.blobs[0].size();
         p.heap.replace(at, 4, Le32(99));
       },
       {11, 33},
       {1}},
      {"HeapTruncatedBeforeLastItemEnds",
       [](MessagePair& p) { p.heap.resize(p.heap.size() - 1); },
       {11, 22},
       {2}},
      {"HeapMissingEntirely", [](MessagePair& p) { p.heap.clear(); }, {}, {0, 1, 2}},
      {"FreeSlotSkipped",
       [](MessagePair& p) { p.slots.replace(52, 52, std::string(52, '\0')); },
       {11, 33},
       {}},
      {"PartialTrailingSlotIgnored", [](MessagePair& p) { p.slots += std::string(30, 'z'); },
       {11, 22, 33},
       {}},
  };
}

class SlotLoadTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(SlotLoadTest, FailingSlotsAreFreedOnDiskAndGoneNextTime) {
  const LoadCase& c = GetParam();
  TempDir dir;
  MessagePair pair = ThreeMessages();
  c.damage(pair);
  WriteFile(dir.File("db1.dat"), pair.slots);
  WriteFile(dir.File("db2.dat"), pair.heap);

  SlotFile slots(dir.File("db1.dat"), 36);
  HeapFile heap(dir.File("db2.dat"), HeapHeader::kIdAndDigest);
  SlotLoadResult first = LoadSlotFile(slots, &heap, testing::TestMessageLayout(), nullptr);

  EXPECT_EQ(IdsOf(first), c.want_kept);
  EXPECT_EQ(first.freed, c.want_freed_slots.size());
  EXPECT_EQ(slots.end_offset(), pair.slots.size() / 52 * 52);
  EXPECT_EQ(heap.end_offset(), pair.heap.size());

  // On disk: exactly the failing slots became zero entry + zero digest; the rest is as it was.
  std::string want_slots = pair.slots;
  for (std::size_t index : c.want_freed_slots) want_slots.replace(index * 52, 52, std::string(52, '\0'));
  EXPECT_EQ(ReadFile(slots.path()), want_slots);
  EXPECT_EQ(ReadFile(heap.path()), pair.heap) << "loading never writes the heap";

  SlotLoadResult second = LoadSlotFile(slots, &heap, testing::TestMessageLayout(), nullptr);
  EXPECT_EQ(IdsOf(second), c.want_kept);
  EXPECT_EQ(second.freed, 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, SlotLoadTest, ::testing::ValuesIn(LoadCases()),
                         [](const auto& info) { return info.param.name; });

// A file large enough that its later half is checked on a second thread, with damage on
// both sides of the middle and at both ends (an entry byte, a blob byte, a free slot).
struct LargeFile {
  static constexpr std::uint32_t kCount = 20'000;
  MessagePair pair;
  std::vector<std::size_t> freed = {0, 9'999, 10'000, 19'999, 15'000};
  std::size_t free_slot = 12'345;

  LargeFile() {
    for (std::uint32_t id = 1; id <= kCount; ++id) {
      std::string blob = MakeBlob("summary " + std::to_string(id));
      const auto offset = static_cast<std::uint32_t>(pair.heap.size());
      pair.heap += Le32(id) + Md5Raw(blob) + blob;
      const std::string entry = MessageEntry(id, offset, static_cast<std::uint32_t>(blob.size()));
      pair.slots += Md5Raw(entry) + entry;
      pair.blobs.push_back(blob);
    }
    for (std::size_t index : {0, 9'999, 10'000, 19'999}) pair.slots[index * 52 + 16 + 20] ^= 0x04;
    pair.heap[pair.heap.find(pair.blobs[15'000]) + 3] ^= 0x01;
    pair.slots.replace(free_slot * 52, 52, std::string(52, '\0'));
  }

  std::vector<std::size_t> KeptIndexes() const {
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < kCount; ++i) {
      if (std::find(freed.begin(), freed.end(), i) == freed.end() && i != free_slot) {
        kept.push_back(i);
      }
    }
    return kept;
  }

  // On disk, exactly the damaged slots became zero.
  void ExpectFreedOnDisk(const SlotFile& slots) const {
    std::string want_slots = pair.slots;
    for (std::size_t index : freed) want_slots.replace(index * 52, 52, std::string(52, '\0'));
    EXPECT_EQ(ReadFile(slots.path()), want_slots);
    EXPECT_EQ(slots.end_offset(), pair.slots.size());
  }
};

// The slots still reach the owner in file order with their own offsets and blobs, and damage
// in either half is freed on disk exactly as in a small file.
TEST(SlotLoaderThreadTest, ALargeFileIsCheckedInTwoHalvesAndTakenInOrder) {
  TempDir dir;
  const LargeFile file;
  WriteFile(dir.File("db1.dat"), file.pair.slots);
  WriteFile(dir.File("db2.dat"), file.pair.heap);
  SlotFile slots(dir.File("db1.dat"), 36);
  HeapFile heap(dir.File("db2.dat"), HeapHeader::kIdAndDigest);

  SlotLoadResult result = LoadSlotFile(slots, &heap, testing::TestMessageLayout(), nullptr);

  const std::vector<std::size_t> kept_indexes = file.KeptIndexes();
  ASSERT_EQ(result.kept.size(), kept_indexes.size());
  for (std::size_t k = 0; k < kept_indexes.size(); ++k) {
    const std::size_t i = kept_indexes[k];
    ASSERT_EQ(result.kept[k].slot_offset, i * 52) << k;
    ASSERT_EQ(result.kept[k].entry, file.pair.slots.substr(i * 52 + 16, 36)) << k;
    ASSERT_EQ(result.kept[k].blob, file.pair.blobs[i]) << k;
  }
  EXPECT_EQ(result.freed, file.freed.size());
  file.ExpectFreedOnDisk(slots);
}

// With a part acceptor the second thread takes the later half itself: each part sees its
// slots in file order, the two parts together are every valid slot, the calling thread's part
// comes first, and slots the acceptor refuses are freed like damaged ones.
TEST(SlotLoaderThreadTest, APartAcceptorTakesTheLaterHalfOnTheSecondThread) {
  TempDir dir;
  LargeFile file;
  WriteFile(dir.File("db1.dat"), file.pair.slots);
  WriteFile(dir.File("db2.dat"), file.pair.heap);
  SlotFile slots(dir.File("db1.dat"), 36);
  HeapFile heap(dir.File("db2.dat"), HeapHeader::kIdAndDigest);
  const std::vector<std::size_t> refused = {3, 17'000};  // one in each half
  struct Taken {
    std::uint64_t slot_offset;
    std::string blob;
  };
  std::vector<Taken> parts[2];
  std::thread::id part_threads[2];

  const SlotLoadResult result = LoadSlotFileInParts(
      slots, &heap, testing::TestMessageLayout(), [&](ScannedSlot& slot, int part) {
        part_threads[part] = std::this_thread::get_id();
        const std::size_t index = slot.slot_offset / 52;
        if (std::find(refused.begin(), refused.end(), index) != refused.end()) return false;
        parts[part].push_back(Taken{slot.slot_offset, slot.blob});
        return true;
      });

  EXPECT_EQ(part_threads[0], std::this_thread::get_id());
  EXPECT_NE(part_threads[1], std::this_thread::get_id());
  file.freed.insert(file.freed.end(), refused.begin(), refused.end());
  const std::vector<std::size_t> kept_indexes = file.KeptIndexes();
  std::vector<Taken> taken = parts[0];
  taken.insert(taken.end(), parts[1].begin(), parts[1].end());
  ASSERT_EQ(taken.size(), kept_indexes.size());
  EXPECT_LT(parts[0].back().slot_offset, parts[1].front().slot_offset);
  for (std::size_t k = 0; k < kept_indexes.size(); ++k) {
    const std::size_t i = kept_indexes[k];
    ASSERT_EQ(taken[k].slot_offset, i * 52) << k;
    ASSERT_EQ(taken[k].blob, file.pair.blobs[i]) << k;
  }
  EXPECT_TRUE(result.kept.empty());
  EXPECT_EQ(result.freed, file.freed.size());
  file.ExpectFreedOnDisk(slots);
}

TEST(SlotLoaderTest, KeptSlotsCarryTheirOffsetEntryAndBlob) {
  TempDir dir;
  MessagePair pair = ThreeMessages();
  WriteFile(dir.File("db1.dat"), pair.slots);
  WriteFile(dir.File("db2.dat"), pair.heap);
  SlotFile slots(dir.File("db1.dat"), 36);
  HeapFile heap(dir.File("db2.dat"), HeapHeader::kIdAndDigest);

  SlotLoadResult result = LoadSlotFile(slots, &heap, testing::TestMessageLayout(), nullptr);

  ASSERT_EQ(result.kept.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(result.kept[i].slot_offset, i * 52);
    EXPECT_EQ(result.kept[i].entry, pair.slots.substr(i * 52 + 16, 36));
    EXPECT_EQ(result.kept[i].blob, pair.blobs[i]);
  }
}

// Blobs are read through a window of the heap: items lying before the window, after it, or
// larger than it must still be read whole, and a table that keeps nothing gets its records
// through the acceptor alone.
TEST(SlotLoaderTest, ItemsAnywhereInALargeHeapAreRead) {
  TempDir dir;
  const std::string filler(3 << 19, 'f');  // 1.5 MB of dead space between the items
  const std::string big = MakeBlob(std::string(3 << 20, 'b'));  // larger than a window
  const std::string small = MakeBlob("small");
  const std::string late = MakeBlob("late");
  std::string heap;
  auto place = [&heap](std::uint32_t id, const std::string& blob) {
    const auto offset = static_cast<std::uint32_t>(heap.size());
    heap += Le32(id) + Md5Raw(blob) + blob;
    return MessageEntry(id, offset, static_cast<std::uint32_t>(blob.size()));
  };
  const std::string small_entry = place(1, small);
  heap += filler;
  const std::string big_entry = place(2, big);
  heap += filler;
  const std::string late_entry = place(3, late);
  // Slot order differs from heap order: far item first, then back to the start.
  std::string slots;
  for (const std::string* entry : {&late_entry, &small_entry, &big_entry, &small_entry}) {
    slots += Md5Raw(*entry) + *entry;
  }
  WriteFile(dir.File("db1.dat"), slots);
  WriteFile(dir.File("db2.dat"), heap);
  SlotFile slot_file(dir.File("db1.dat"), 36);
  HeapFile heap_file(dir.File("db2.dat"), HeapHeader::kIdAndDigest);

  std::vector<std::string> seen;
  SlotLoadResult result = LoadSlotFile(
      slot_file, &heap_file, testing::TestMessageLayout(),
      [&seen](ScannedSlot& slot) {
        seen.push_back(slot.blob);
        return true;
      },
      KeepSlots::kNo);

  EXPECT_EQ(seen, (std::vector<std::string>{late, small, big, small}));
  EXPECT_TRUE(result.kept.empty());
  EXPECT_EQ(result.freed, 0u);
  EXPECT_EQ(ReadFile(slot_file.path()), slots);
}

TEST(SlotLoaderTest, RejectedByOwnerIsFreed) {
  TempDir dir;
  MessagePair pair = ThreeMessages();
  WriteFile(dir.File("db1.dat"), pair.slots);
  WriteFile(dir.File("db2.dat"), pair.heap);
  SlotFile slots(dir.File("db1.dat"), 36);
  HeapFile heap(dir.File("db2.dat"), HeapHeader::kIdAndDigest);

  SlotLoadResult result = LoadSlotFile(slots, &heap, testing::TestMessageLayout(), [](ScannedSlot& slot) {
    return U32At(slot.entry, 0) != 22u;
  });

  EXPECT_EQ(IdsOf(result), (std::vector<std::uint32_t>{11, 33}));
  EXPECT_EQ(ReadFile(slots.path()).substr(52, 52), std::string(52, '\0'));
}

TEST(SlotLoaderTest, ContactSlotBeyondItsHeapIsFreed) {
  TempDir dir;
  const std::string blob = MakeBlob("contact");
  const std::string heap_bytes = Md5Raw(blob) + blob;
  // Slot 0 points at the real item; slot 1 at an offset past the end of the heap file.
  const std::string good = Le32(1) + Le32(blob.size()) + Le32(0) + Le32(1);
  const std::string beyond = Le32(2) + Le32(blob.size()) + Le32(heap_bytes.size()) + Le32(1);
  // Slot 2: offset + size would wrap in 32 bits; must still be outside.
  const std::string wraps = Le32(3) + Le32(0xFFFFFFF0) + Le32(0x20) + Le32(1);
  WriteFile(dir.File("db3.dat"),
            Md5Raw(good) + good + Md5Raw(beyond) + beyond + Md5Raw(wraps) + wraps);
  WriteFile(dir.File("db4.dat"), heap_bytes);
  SlotFile slots(dir.File("db3.dat"), 16);
  HeapFile heap(dir.File("db4.dat"), HeapHeader::kDigest);

  SlotLoadResult result = LoadSlotFile(slots, &heap, testing::TestContactLayout(), nullptr);

  EXPECT_EQ(IdsOf(result), (std::vector<std::uint32_t>{1}));
  EXPECT_EQ(ReadFile(slots.path()), Md5Raw(good) + good + std::string(64, '\0'));
}

TEST(SlotLoaderTest, SlotOnlyFileLoadsWithoutHeap) {
  TempDir dir;
  const std::string e1 = Le32(4) + Md5Raw("k1");
  const std::string e2 = Le32(0) + std::string(16, '\0');  // free
  std::string e3 = Le32(5) + Md5Raw("k3");
  std::string bad = Md5Raw(e3) + e3;
  bad[20] ^= 0x10;
  WriteFile(dir.File("db7.dat"), Md5Raw(e1) + e1 + std::string(16, '\0') + e2 + bad);
  SlotFile slots(dir.File("db7.dat"), 20);

  SlotLoadResult result = LoadSlotFile(slots, nullptr, testing::TestDigestLayout(), nullptr);

  EXPECT_EQ(IdsOf(result), (std::vector<std::uint32_t>{4}));
  EXPECT_EQ(result.freed, 1u);
  EXPECT_EQ(slots.end_offset(), 108u);
  EXPECT_EQ(ReadFile(slots.path()), Md5Raw(e1) + e1 + std::string(72, '\0'));
}

TEST(SlotLoaderTest, MissingFilesAreCreatedEmpty) {
  TempDir dir;
  SlotFile slots(dir.File("db1.dat"), 36);
  HeapFile heap(dir.File("db2.dat"), HeapHeader::kIdAndDigest);
  SlotLoadResult result = LoadSlotFile(slots, &heap, testing::TestMessageLayout(), nullptr);
  EXPECT_TRUE(result.kept.empty());
  EXPECT_TRUE(testing::FileExists(slots.path()));
  EXPECT_TRUE(testing::FileExists(heap.path()));
  EXPECT_EQ(slots.end_offset(), 0u);
  EXPECT_EQ(heap.end_offset(), 0u);
}

}  // namespace
}  // namespace pelrion::store
