#include "store/message_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "crypto/md5.h"

namespace pelrion::store {
namespace {

void Le32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
std::string Md5Bytes(std::string_view bytes) {
  const crypto::Md5Digest digest = crypto::Md5Of(bytes);
  return std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

TEST(MessageRecordLayoutTest, EntryIsNineLittleEndianFieldsInOrder) {
  MessageRecord record;
  record.id = 0x11223344;
  record.summary_offset = 0x00000140;
  record.summary_size = 0x000000A8;
  record.account_id = 7;
  record.flags = kFlagDecided | kFlagInbox | kFlagRead;
  record.request_sent_time = 1700000123;
  record.request_number = 54321;
  record.authorization_code = 987654;
  record.status = 12;

  std::string want;
  for (std::uint32_t field : {0x11223344u, 0x140u, 0xA8u, 7u, 0x0Bu, 1700000123u, 54321u,
                              987654u, 12u}) {
    Le32(want, field);
  }
  ASSERT_EQ(want.size(), kMessageEntrySize);
  EXPECT_EQ(record.Entry(), want);

  MessageRecord back;
  ASSERT_TRUE(DecodeMessageEntry(want, back));
  EXPECT_EQ(back.Entry(), want);
  EXPECT_EQ(back.request_sent_time, 1700000123);
  EXPECT_EQ(back.folder(), Folder::kInbox);
}

TEST(MessageRecordLayoutTest, NegativeFieldsAreTwosComplement) {
  MessageRecord record;
  record.id = 1;
  record.request_sent_time = -1;
  std::string want;
  for (std::uint32_t field : {1u, 0u, 0u, 0u, 0u, 0xFFFFFFFFu, 0u, 0u, 0u}) Le32(want, field);
  EXPECT_EQ(record.Entry(), want);
}

TEST(MessageRecordLayoutTest, DecodeRefusesWrongSizes) {
  MessageRecord record;
  record.id = 99;
  for (std::size_t size : {0u, 35u, 37u, 52u}) {
    SCOPED_TRACE(size);
    EXPECT_FALSE(DecodeMessageEntry(std::string(size, '\x01'), record));
    EXPECT_EQ(record.id, 99u);
  }
}

struct FolderRow {
  const char* name;
  std::uint32_t flags;
  Folder folder;
};

TEST(MessageRecordFolderTest, FolderFollowsTheFlags) {
  const FolderRow rows[] = {
      {"0x05 trash", 0x05, Folder::kTrash},
      {"0x03 inbox", 0x03, Folder::kInbox},
      {"0x01 junk", 0x01, Folder::kJunkMail},
      {"0x00 quarantine", 0x00, Folder::kQuarantine},
      {"0x02 quarantine", 0x02, Folder::kQuarantine},
      {"0x04 quarantine", 0x04, Folder::kQuarantine},
      {"0x07 trash wins over inbox", 0x07, Folder::kTrash},
      {"0x0B read inbox", 0x0B, Folder::kInbox},
      {"0x09 read junk", 0x09, Folder::kJunkMail},
      {"0x08 read quarantine", 0x08, Folder::kQuarantine},
      {"0x13 pending deletion keeps its folder", 0x13, Folder::kInbox},
  };
  for (const FolderRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FolderOfFlags(row.flags), row.folder);
  }
}

TEST(MessageRecordFolderTest, FolderBitsLandInTheirFolder) {
  for (Folder folder : {Folder::kInbox, Folder::kQuarantine, Folder::kJunkMail, Folder::kTrash}) {
    SCOPED_TRACE(std::string(FolderName(folder)));
    EXPECT_EQ(FolderOfFlags(FolderBits(folder)), folder);
    EXPECT_EQ(FolderOfFlags(FolderBits(folder) | kFlagRead), folder);
  }
  EXPECT_EQ(FolderName(Folder::kInbox), "Inbox");
  EXPECT_EQ(FolderName(Folder::kQuarantine), "Quarantine");
  EXPECT_EQ(FolderName(Folder::kJunkMail), "Junk Mail");
  EXPECT_EQ(FolderName(Folder::kTrash), "Trash");
}

TEST(MessageRecordFileTest, FileNameIsFolderIdAndEml) {
  EXPECT_EQ(MessageFilePath("/data/Db/", 4294967295u), "/data/Db/4294967295.eml");
  EXPECT_EQ(MessageFilePath("/d/", 42), "/d/42.eml");
}

// Builds one db1 slot and a db2 heap holding its summary, as the load would find them.
struct StoredPair {
  std::string slot;
  std::string db2;
};

StoredPair MakeStoredPair(std::uint32_t id, std::uint32_t flags, const std::string& blob,
                          std::uint32_t header_id, std::uint32_t leading_bytes = 8) {
  StoredPair pair;
  pair.db2.assign(leading_bytes, 'z');  // dead space before the item
  const auto offset = static_cast<std::uint32_t>(pair.db2.size());
  Le32(pair.db2, header_id);
  pair.db2 += Md5Bytes(blob);
  pair.db2 += blob;
  std::string entry;
  for (std::uint32_t field :
       {id, offset, static_cast<std::uint32_t>(blob.size()), 3u, flags, 0u, 0u, 0u, 1u}) {
    Le32(entry, field);
  }
  pair.slot = Md5Bytes(entry) + entry;
  return pair;
}

TEST(MessageRecordInspectTest, ReportsEachCheckWithoutWriting) {
  MessageSummary summary;
  summary.has_strings = true;
  summary.set_subject_decoded("Quarterly figures");
  const std::string blob = EncodeMessageSummary(summary);
  using Verdict = MessageSlotReport::Verdict;

  struct Row {
    const char* name;
    StoredPair pair;
    Verdict verdict;
  };
  std::vector<Row> rows;
  rows.push_back({"valid", MakeStoredPair(77, 0x03, blob, 77), Verdict::kOk});
  rows.push_back({"free slot", {std::string(52, '\0'), ""}, Verdict::kFree});
  {
    StoredPair pair = MakeStoredPair(77, 0x03, blob, 77);
    pair.slot[20] ^= 1;
    rows.push_back({"flipped entry byte", pair, Verdict::kBadDigest});
  }
  rows.push_back({"short slot", {std::string(51, '\x01'), ""}, Verdict::kBadDigest});
  rows.push_back({"pending deletion", MakeStoredPair(77, 0x13, blob, 77), Verdict::kDeletePending});
  {
    StoredPair pair = MakeStoredPair(77, 0x03, blob, 77);
    pair.db2.pop_back();
    rows.push_back({"item passes the heap's end", pair, Verdict::kOutsideHeap});
  }
  rows.push_back({"heap header of another id", MakeStoredPair(77, 0x03, blob, 78),
                  Verdict::kBadHeapHeader});
  {
    StoredPair pair = MakeStoredPair(77, 0x03, blob, 77);
    pair.db2.back() ^= 1;
    rows.push_back({"flipped blob byte", pair, Verdict::kBadHeapHeader});
  }
  {
    std::string bad = blob;
    bad[4 * 22] = static_cast<char>(0xF0);  // a string offset far outside the blob
    rows.push_back({"summary reference outside", MakeStoredPair(77, 0x03, bad, 77),
                    Verdict::kBadSummary});
  }

  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const MessageSlotReport report = InspectMessageSlot(row.pair.slot, row.pair.db2);
    EXPECT_EQ(report.verdict, row.verdict);
    EXPECT_EQ(report.summary.has_value(), row.verdict == Verdict::kOk);
  }
  const StoredPair valid = MakeStoredPair(77, 0x03, blob, 77);
  const MessageSlotReport report = InspectMessageSlot(valid.slot, valid.db2);
  EXPECT_EQ(report.id, 77u);
  EXPECT_EQ(report.account_id, 3u);
  EXPECT_EQ(report.flags, 0x03u);
  ASSERT_TRUE(report.summary.has_value());
  EXPECT_EQ(report.summary->subject_decoded(), "Quarterly figures");
}

}  // namespace
}  // namespace pelrion::store
