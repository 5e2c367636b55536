#include "store/compaction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/store_test_helpers.h"
#include "store/test_records.h"

namespace pelrion::store {
namespace {

using testing::Le32;
using testing::MakeBlob;
using testing::Md5Raw;
using testing::ReadFile;
using testing::TempDir;
using testing::TestDigest;
using testing::TestMessage;

struct RatioCase {
  const char* name;
  std::uint64_t length;
  std::size_t live;
  std::size_t slot_size;
  bool want;
};

class WastedSpaceTest : public ::testing::TestWithParam<RatioCase> {};

TEST_P(WastedSpaceTest, CompactsOnlyAboveOnePointThreeThree) {
  const RatioCase& c = GetParam();
  EXPECT_EQ(NeedsCompaction(c.length, c.live, c.slot_size), c.want)
      << "length " << c.length << ", live " << c.live << " x " << c.slot_size;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WastedSpaceTest,
    ::testing::Values(RatioCase{"EmptyTableAlways", 0, 0, 52, true},
                      RatioCase{"EmptyTableWithFreedSlots", 520, 0, 52, true},
                      RatioCase{"NoWaste", 5200, 100, 52, false},
                      // 100 live slots of 100 bytes: 13300 bytes is exactly 1.33.
                      RatioCase{"ExactlyTheRatio", 13300, 100, 100, false},
                      RatioCase{"OneByteAbove", 13301, 100, 100, true},
                      RatioCase{"OneByteBelow", 13299, 100, 100, false},
                      // 3 of 4 db1 slots live: 208 / 156 = 1.333...
                      RatioCase{"ThreeOfFourLive", 208, 3, 52, true},
                      // 4 of 5 live: 1.25
                      RatioCase{"FourOfFiveLive", 180, 4, 36, false}),
    [](const auto& info) { return std::string(info.param.name); });

class CompactionTest : public ::testing::Test {
 protected:
  CompactionTest()
      : slots_(dir_.File("db1.dat"), 36), heap_(dir_.File("db2.dat"), HeapHeader::kIdAndDigest) {
    for (std::uint32_t id = 1; id <= 5; ++id) {
      messages_.emplace_back(id, MakeBlob(std::string(id * 3, static_cast<char>('a' + id))));
    }
    for (TestMessage& m : messages_) {
      heap_.AppendBlob(m);
      slots_.WriteSlot(m, true);
    }
  }

  TempDir dir_;
  SlotFile slots_;
  HeapFile heap_;
  std::vector<TestMessage> messages_;
};

TEST_F(CompactionTest, RewritesLiveRecordsFromOffsetZeroInTableOrder) {
  // Delete records 1, 3 and 5: 2 of 5 live, 260 / 104 = 2.5 > 1.33.
  slots_.FreeSlot(messages_[0]);
  slots_.FreeSlot(messages_[2]);
  slots_.FreeSlot(messages_[4]);
  std::vector<BlobRecord*> live = {&messages_[1], &messages_[3]};

  ASSERT_TRUE(CompactIfWasteful(slots_, heap_, live));

  const std::string b2 = messages_[1].Blob(), b4 = messages_[3].Blob();
  EXPECT_EQ(ReadFile(heap_.path()), Le32(2) + Md5Raw(b2) + b2 + Le32(4) + Md5Raw(b4) + b4);
  const std::string e2 = Le32(2) + Le32(0) + Le32(b2.size()) + messages_[1].Entry().substr(12);
  const std::string e4 = Le32(4) + Le32(20 + b2.size()) + Le32(b4.size()) +
                         messages_[3].Entry().substr(12);
  EXPECT_EQ(ReadFile(slots_.path()), Md5Raw(e2) + e2 + Md5Raw(e4) + e4);
  EXPECT_EQ(messages_[1].slot_offset(), 0u);
  EXPECT_EQ(messages_[3].slot_offset(), 52u);
  EXPECT_EQ(slots_.end_offset(), 104u);
  EXPECT_EQ(heap_.end_offset(), 40 + b2.size() + b4.size());
}

TEST_F(CompactionTest, BelowTheRatioNothingIsRewritten) {
  slots_.FreeSlot(messages_[4]);  // 4 of 5 live: 260 / 208 = 1.25
  const std::string slots_before = ReadFile(slots_.path());
  const std::string heap_before = ReadFile(heap_.path());
  std::vector<BlobRecord*> live = {&messages_[0], &messages_[1], &messages_[2], &messages_[3]};
  EXPECT_FALSE(CompactIfWasteful(slots_, heap_, live));
  EXPECT_EQ(ReadFile(slots_.path()), slots_before);
  EXPECT_EQ(ReadFile(heap_.path()), heap_before);
  EXPECT_EQ(slots_.end_offset(), 260u);
}

TEST_F(CompactionTest, EmptyTableTruncatesBothFilesToZero) {
  for (TestMessage& m : messages_) slots_.FreeSlot(m);
  ASSERT_TRUE(CompactIfWasteful(slots_, heap_, std::vector<BlobRecord*>{}));
  EXPECT_EQ(ReadFile(slots_.path()), "");
  EXPECT_EQ(ReadFile(heap_.path()), "");
  EXPECT_TRUE(testing::FileExists(slots_.path()));
  EXPECT_EQ(slots_.end_offset(), 0u);
  EXPECT_EQ(heap_.end_offset(), 0u);
}

TEST(SlotCompactionTest, SlotOnlyFileRewritesLiveSlotsFromZero) {
  TempDir dir;
  SlotFile slots(dir.File("db7.dat"), 20);
  TestDigest a(1, "k1"), b(2, "k2"), c(1, "k3");
  for (TestDigest* d : {&a, &b, &c}) slots.WriteSlot(*d, true);
  slots.FreeSlot(a);
  slots.FreeSlot(b);  // 1 of 3 live: 108 / 36 = 3

  std::vector<SlotRecord*> live = {&c};
  ASSERT_TRUE(CompactIfWasteful(slots, live));

  const std::string ec = c.Entry();
  EXPECT_EQ(ReadFile(slots.path()), Md5Raw(ec) + ec);
  EXPECT_EQ(c.slot_offset(), 0u);
  EXPECT_EQ(slots.end_offset(), 36u);
}

}  // namespace
}  // namespace pelrion::store
