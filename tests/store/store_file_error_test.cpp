// Any file error in a store operation ends the process through FatalStop with the database
// text and exit code 1; what was written before stays as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>

#include "store/address_list_table.h"
#include "store/heap_file.h"
#include "store/installation_id.h"
#include "store/record_file.h"
#include "store/slot_file.h"
#include "store/slot_loader.h"
#include "store/store_test_helpers.h"
#include "store/test_records.h"

namespace pelrion::store {
namespace {

using testing::MakeBlob;
using testing::FileExists;
using testing::ReadFile;
using testing::TempDir;
using testing::TestMessage;
using testing::WriteFile;

constexpr const char* kDatabaseText = "Critical error on database access\\.";

struct ErrorCase {
  const char* name;
  // Breaks the path the operation needs: "dir" puts a directory in place of the file,
  // "under-file" makes its parent a regular file.
  bool parent_is_file;
  std::function<void(const std::string& dir, const std::string& broken)> operation;
};

class StoreFileDeathTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(StoreFileDeathTest, EndsThroughFatalStop) {
  const ErrorCase& c = GetParam();
  TempDir dir;
  // An unrelated file written before the failure must survive it unchanged.
  const std::string witness = dir.File("db8.dat");
  RewriteRecordFile(witness, 1, {std::string(276, 'w')}, 276);
  const std::string witness_bytes = ReadFile(witness);

  std::string broken;
  if (c.parent_is_file) {
    WriteFile(dir.File("plain"), "x");
    broken = dir.File("plain/target.dat");
  } else {
    broken = dir.File("target.dat");
    ASSERT_EQ(::mkdir(broken.c_str(), 0700), 0);
  }

  EXPECT_EXIT(c.operation(dir.path(), broken), ::testing::ExitedWithCode(1), kDatabaseText);
  EXPECT_EQ(ReadFile(witness), witness_bytes);
}

std::vector<ErrorCase> ErrorCases() {
  auto load_records = [](const std::string&, const std::string& path) {
    RecordRules rules;
    rules.record_size = [](std::uint8_t) { return std::size_t{256}; };
    LoadRecordFile(path, rules);
  };
  auto rewrite = [](const std::string&, const std::string& path) {
    RewriteRecordFile(path, 1, {std::string(256, 'd')}, 256);
  };
  auto write_slot = [](const std::string&, const std::string& path) {
    SlotFile slots(path, 36);
    TestMessage m(1, MakeBlob("x"));
    slots.WriteSlot(m, true);
  };
  auto free_slot = [](const std::string&, const std::string& path) {
    SlotFile(path, 36).FreeSlotAt(52);
  };
  auto append = [](const std::string&, const std::string& path) {
    HeapFile(path, HeapHeader::kDigest).AppendBlob(MakeBlob("x"), 0);
  };
  auto load_slots = [](const std::string&, const std::string& path) {
    SlotFile slots(path, 36);
    LoadSlotFile(slots, nullptr, testing::TestMessageLayout(), nullptr);
  };
  auto load_heap = [](const std::string& dir, const std::string& path) {
    SlotFile slots(dir + "/db1.dat", 36);
    HeapFile heap(path, HeapHeader::kIdAndDigest);
    LoadSlotFile(slots, &heap, testing::TestMessageLayout(), nullptr);
  };
  auto identity = [](const std::string&, const std::string& path) { LoadInstallationId(path); };
  return {
      {"LoadRecordFileDirectory", false, load_records},
      {"LoadRecordFileUnderFile", true, load_records},
      {"RewriteRecordFileDirectory", false, rewrite},
      {"RewriteRecordFileUnderFile", true, rewrite},
      {"WriteSlotDirectory", false, write_slot},
      {"WriteSlotUnderFile", true, write_slot},
      {"FreeSlotDirectory", false, free_slot},
      {"AppendBlobDirectory", false, append},
      {"AppendBlobUnderFile", true, append},
      {"LoadSlotFileDirectory", false, load_slots},
      {"LoadSlotFileHeapDirectory", false, load_heap},
      {"InstallationIdDirectory", false, identity},
      {"InstallationIdUnderFile", true, identity},
  };
}

INSTANTIATE_TEST_SUITE_P(Cases, StoreFileDeathTest, ::testing::ValuesIn(ErrorCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HeapAppendDeathTest, FailedBlobAppendLeavesEarlierSlotsAndBlobsIntact) {
  TempDir dir;
  SlotFile slots(dir.File("db1.dat"), 36);
  HeapFile heap(dir.File("db2.dat"), HeapHeader::kIdAndDigest);
  TestMessage first(1, MakeBlob("first"));
  heap.AppendBlob(first);
  slots.WriteSlot(first, true);
  const std::string slots_before = ReadFile(slots.path());
  const std::string heap_before = ReadFile(heap.path());

  // The heap is replaced by a directory between two operations.
  ASSERT_EQ(::rename(heap.path().c_str(), dir.File("db2.old").c_str()), 0);
  ASSERT_EQ(::mkdir(heap.path().c_str(), 0700), 0);
  TestMessage second(2, MakeBlob("second"));
  EXPECT_EXIT(heap.AppendBlob(second), ::testing::ExitedWithCode(1), kDatabaseText);

  EXPECT_EQ(ReadFile(slots.path()), slots_before);
  EXPECT_EQ(ReadFile(dir.File("db2.old")), heap_before);
}

// A heap file deleted while the program runs. Once blobs are stored the slots point into
// it: recreating it empty would make the next load free every one of those slots, so the
// program stops instead. An empty heap may be created.
struct DeletedHeapCase {
  const char* name;
  HeapHeader header;
  int blobs_before;  // appended before the file goes
  bool stops;
};

class DeletedHeapTest : public ::testing::TestWithParam<DeletedHeapCase> {};

TEST_P(DeletedHeapTest, StopsUnlessTheHeapWasEmpty) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const DeletedHeapCase& c = GetParam();
  TempDir dir;
  HeapFile heap(dir.File("heap.dat"), c.header);
  WriteFile(heap.path(), "");  // as loaded
  for (int i = 0; i < c.blobs_before; ++i) heap.AppendBlob(MakeBlob("blob"), 1);
  ASSERT_EQ(::unlink(heap.path().c_str()), 0);

  if (c.stops) {
    EXPECT_EXIT(heap.AppendBlob(MakeBlob("next"), 2), ::testing::ExitedWithCode(1),
                kDatabaseText);
    EXPECT_FALSE(FileExists(heap.path())) << "recreated empty";
  } else {
    const HeapItem item = heap.AppendBlob(MakeBlob("next"), 2);
    EXPECT_EQ(item.offset, 0u);
    EXPECT_EQ(ReadFile(heap.path()).size(), heap.end_offset());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeletedHeapTest,
    ::testing::Values(DeletedHeapCase{"MessageHeapWithOneBlob", HeapHeader::kIdAndDigest, 1, true},
                      DeletedHeapCase{"ContactHeapWithTwoBlobs", HeapHeader::kDigest, 2, true},
                      DeletedHeapCase{"EmptyHeap", HeapHeader::kIdAndDigest, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The whole road: a contact is stored, its heap file deleted, and the next contact stops the
// program without touching the slots. Putting the backup of the heap back restores the
// stored contact at the next start.
TEST(DeletedHeapDeathTest, BackupOfTheHeapStillMatchesTheSlots) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir dir;
  const std::string heap = dir.File("db4.dat");
  const std::string slots = dir.File("db3.dat");
  {
    AddressListTable contacts(dir.path() + "/");
    contacts.Load();
    ASSERT_NE(contacts.AddContact("Ann", {"ann@example.com"}, 0), nullptr);
    const std::string backup = ReadFile(heap);
    const std::string slots_before = ReadFile(slots);
    ASSERT_EQ(::unlink(heap.c_str()), 0);

    EXPECT_EXIT(contacts.AddContact("Bob", {"bob@example.com"}, 0),
                ::testing::ExitedWithCode(1), kDatabaseText);
    EXPECT_FALSE(FileExists(heap));
    EXPECT_EQ(ReadFile(slots), slots_before);
    WriteFile(heap, backup);
  }
  AddressListTable reloaded(dir.path() + "/");
  reloaded.Load();
  EXPECT_NE(reloaded.LookupAddress("ann@example.com", 3), 0u) << "the slot was kept";
}

}  // namespace
}  // namespace pelrion::store
