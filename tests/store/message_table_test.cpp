#include "store/message_table.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "crypto/md5.h"
#include "platform/random.h"
#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::FileExists;
using testing::Le32;
using testing::Md5Raw;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr char kDatabaseText[] = "Critical error on database access\\.";

class FakeAccounts : public MessageAccounts {
 public:
  explicit FakeAccounts(std::vector<std::uint32_t> ids) {
    for (std::uint32_t id : ids) counts[id] = 0;
  }
  bool AccountExists(std::uint32_t id) const override { return counts.count(id) != 0; }
  bool AdjustMessageCount(std::uint32_t id, int delta) override {
    auto it = counts.find(id);
    if (it == counts.end()) return false;
    it->second += delta;
    return true;
  }
  std::map<std::uint32_t, int> counts;
};

class RecordingHeld : public HeldMessages {
 public:
  void HoldMessage(MessageRecord& record) override { held.push_back(record.id); }
  bool ReleaseHeldMessage(MessageRecord& record) override {
    released.push_back(record.id);
    return true;
  }
  std::vector<std::uint32_t> held;
  std::vector<std::uint32_t> released;
};

class MessageTableTest : public ::testing::Test {
 protected:
  MessageTableTest() { Reopen(); }

  std::string Folder() const { return dir_.path() + "/"; }
  std::string Db1() const { return dir_.File("db1.dat"); }
  std::string Db2() const { return dir_.File("db2.dat"); }

  // A fresh table over the same files, as at the next start.
  void Reopen(std::vector<std::uint32_t> accounts = {1, 2}) {
    table_.reset();
    accounts_ = std::make_unique<FakeAccounts>(std::move(accounts));
    table_ = std::make_unique<MessageTable>(Folder(), *accounts_, held_, view_);
    table_->Load();
  }

  // Downloads and files one message as the mail check does.
  MessageRecord* File(std::uint32_t account, std::uint32_t flags, const std::string& text) {
    auto record = std::make_unique<MessageRecord>();
    table_->CreateMessageFile(*record);
    WriteFile(table_->MessageFilePath(*record), text);
    record->account_id = account;
    record->flags = flags;
    record->status = 7;
    record->summary.header_length = 10;
    record->summary.file_size = static_cast<std::uint32_t>(text.size());
    record->summary.content_digest = crypto::Md5Of(std::string_view(text).substr(0, 20000));
    record->summary.has_strings = true;
    record->summary.set_subject_decoded("subject " + std::to_string(text.size()));
    return table_->RegisterMessage(std::move(record));
  }

  std::vector<std::string> EntriesInTable() const {
    std::vector<std::string> entries;
    for (const MessageRecord* record : table_->records()) entries.push_back(record->Entry());
    return entries;
  }

  TempDir dir_;
  std::unique_ptr<FakeAccounts> accounts_;
  RecordingHeld held_;
  NoFoldersView view_;
  std::unique_ptr<MessageTable> table_;
};

TEST_F(MessageTableTest, RegisteredMessagesAreStoredByteForByte) {
  MessageRecord* a = File(1, 0x03, "first message\r\n");
  MessageRecord* b = File(2, 0x00, "second\r\n");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);

  // db2: [id][MD5 of blob][blob] per message, appended in filing order.
  const std::string blob_a = EncodeMessageSummary(a->summary);
  const std::string blob_b = EncodeMessageSummary(b->summary);
  const std::string want_db2 =
      Le32(a->id) + Md5Raw(blob_a) + blob_a + Le32(b->id) + Md5Raw(blob_b) + blob_b;
  EXPECT_EQ(ReadFile(Db2()), want_db2);

  // db1: [MD5 of entry][entry] per message; the entry's fields in their stored order.
  auto entry = [](std::uint32_t id, std::uint32_t offset, std::uint32_t size, std::uint32_t account,
                  std::uint32_t flags) {
    return Le32(id) + Le32(offset) + Le32(size) + Le32(account) + Le32(flags) + Le32(0) +
           Le32(0) + Le32(0) + Le32(7);
  };
  const std::string entry_a = entry(a->id, 0, static_cast<std::uint32_t>(blob_a.size()), 1, 0x03);
  const std::string entry_b =
      entry(b->id, static_cast<std::uint32_t>(20 + blob_a.size()),
            static_cast<std::uint32_t>(blob_b.size()), 2, 0x00);
  EXPECT_EQ(ReadFile(Db1()), Md5Raw(entry_a) + entry_a + Md5Raw(entry_b) + entry_b);

  EXPECT_EQ(accounts_->counts[1], 1);
  EXPECT_EQ(accounts_->counts[2], 1);
  EXPECT_EQ(held_.held, std::vector<std::uint32_t>{b->id});  // only the Quarantine message
}

TEST_F(MessageTableTest, TableSurvivesReloadUnchanged) {
  File(1, 0x03, "inbox\r\n");
  File(1, 0x0B, "read inbox\r\n");
  File(2, 0x00, "held\r\n");
  File(2, 0x05, "trash\r\n");
  File(1, 0x01, "junk\r\n");
  const std::vector<std::string> entries = EntriesInTable();
  std::vector<MessageSummary> summaries;
  for (const MessageRecord* record : table_->records()) summaries.push_back(record->summary);
  const std::string db1 = ReadFile(Db1());
  const std::string db2 = ReadFile(Db2());

  Reopen();
  EXPECT_EQ(EntriesInTable(), entries);
  std::vector<MessageSummary> reloaded;
  for (const MessageRecord* record : table_->records()) reloaded.push_back(record->summary);
  EXPECT_EQ(reloaded, summaries);
  EXPECT_EQ(ReadFile(Db1()), db1);
  EXPECT_EQ(ReadFile(Db2()), db2);
  EXPECT_EQ(accounts_->counts[1], 3);
  EXPECT_EQ(accounts_->counts[2], 2);
  EXPECT_EQ(table_->Counter(Folder::kInbox), (FolderCount{2, 1, 7 + 12}));
  EXPECT_EQ(table_->Counter(Folder::kQuarantine), (FolderCount{1, 1, 6}));
  EXPECT_EQ(table_->Counter(Folder::kJunkMail), (FolderCount{1, 1, 6}));
  EXPECT_EQ(table_->Counter(Folder::kTrash), (FolderCount{1, 1, 7}));
}

TEST_F(MessageTableTest, RegisterRefusesWithoutWritingAnything) {
  auto orphan = std::make_unique<MessageRecord>();
  table_->CreateMessageFile(*orphan);
  orphan->account_id = 9;  // no such account
  EXPECT_EQ(table_->RegisterMessage(std::move(orphan)), nullptr);
  ASSERT_NE(orphan, nullptr);  // still the caller's, to discard with its file

  MessageRecord* kept = File(1, 0x03, "x\r\n");
  auto twin = std::make_unique<MessageRecord>();
  twin->id = kept->id;
  twin->account_id = 1;
  EXPECT_EQ(table_->RegisterMessage(std::move(twin)), nullptr);
  auto zero = std::make_unique<MessageRecord>();
  zero->account_id = 1;
  EXPECT_EQ(table_->RegisterMessage(std::move(zero)), nullptr);

  EXPECT_EQ(table_->size(), 1u);
  EXPECT_EQ(ReadFile(Db1()).size(), 52u);
  EXPECT_EQ(accounts_->counts[1], 1);
}

struct MoveRow {
  const char* name;
  std::uint32_t flags;
  Folder target;
  std::uint32_t want_flags;
  bool released;  // handed back by the quarantine
};

TEST_F(MessageTableTest, MoveSetsFolderBitsAndResetsStatus) {
  const MoveRow rows[] = {
      {"quarantine to inbox", 0x00, Folder::kInbox, 0x03, true},
      {"quarantine to trash", 0x00, Folder::kTrash, 0x05, true},
      {"quarantine 0x02 to junk", 0x02, Folder::kJunkMail, 0x01, true},
      {"inbox to trash", 0x03, Folder::kTrash, 0x05, false},
      {"inbox to junk", 0x0B, Folder::kJunkMail, 0x09, false},
      {"trash to inbox", 0x05, Folder::kInbox, 0x03, false},
      {"trash to junk", 0x0D, Folder::kJunkMail, 0x09, false},
      {"junk to inbox", 0x01, Folder::kInbox, 0x03, false},
  };
  for (const MoveRow& row : rows) {
    SCOPED_TRACE(row.name);
    held_.released.clear();
    MessageRecord* record = File(1, row.flags, "moved\r\n");
    MessageRecord* one[] = {record};
    table_->MoveMessages(one, row.target);
    EXPECT_EQ(record->flags, row.want_flags);
    EXPECT_EQ(record->status, 0);
    EXPECT_EQ(held_.released.size(), row.released ? 1u : 0u);
    // The slot on disk holds the change.
    const std::string db1 = ReadFile(Db1());
    EXPECT_EQ(db1.substr(record->slot_offset() + 16, 36), record->Entry());
  }
}

TEST_F(MessageTableTest, MoveLeavesSameFolderAndQuarantineTargetAlone) {
  MessageRecord* inbox = File(1, 0x03, "a\r\n");
  MessageRecord* junk = File(1, 0x01, "b\r\n");
  MessageRecord* both[] = {inbox, junk};
  table_->MoveMessages(both, Folder::kQuarantine);
  MessageRecord* one[] = {inbox};
  table_->MoveMessages(one, Folder::kInbox);
  EXPECT_EQ(inbox->flags, 0x03u);
  EXPECT_EQ(inbox->status, 7);
  EXPECT_EQ(junk->flags, 0x01u);
}

struct ResolveRow {
  const char* name;
  bool accept;
  bool junk;
  Folder folder;
  std::uint32_t flags;
};

TEST_F(MessageTableTest, ResolvePlacesByDecisionAndJunkPreference) {
  const ResolveRow rows[] = {
      {"accepted", true, true, Folder::kInbox, 0x03},
      {"accepted, junk off", true, false, Folder::kInbox, 0x03},
      {"rejected, junk on", false, true, Folder::kJunkMail, 0x01},
      {"rejected, junk off", false, false, Folder::kTrash, 0x05},
  };
  for (const ResolveRow& row : rows) {
    SCOPED_TRACE(row.name);
    MessageRecord* record = File(1, 0x00, "held\r\n");
    const FolderCount before = table_->Counter(row.folder);
    table_->ResolveMessage(*record, row.accept, row.junk);
    EXPECT_EQ(record->folder(), row.folder);
    EXPECT_EQ(record->flags, row.flags);
    EXPECT_EQ(table_->Counter(row.folder).messages, before.messages + 1);
    EXPECT_EQ(ReadFile(Db1()).substr(record->slot_offset() + 16, 36), record->Entry());
  }
  EXPECT_EQ(table_->Counter(Folder::kQuarantine).messages, 0);
}

TEST_F(MessageTableTest, ReadFlagUpdatesUnreadCounterOnce) {
  MessageRecord* record = File(1, 0x03, "hello\r\n");
  EXPECT_EQ(table_->Counter(Folder::kInbox), (FolderCount{1, 1, 7}));
  table_->MarkRead(*record);
  table_->MarkRead(*record);
  EXPECT_EQ(table_->Counter(Folder::kInbox), (FolderCount{1, 0, 7}));
  EXPECT_EQ(record->flags, 0x0Bu);
  Reopen();
  ASSERT_EQ(table_->size(), 1u);
  MessageRecord* again = table_->records()[0];
  EXPECT_TRUE(again->read());
  table_->MarkUnread(*again);
  table_->MarkUnread(*again);
  EXPECT_EQ(table_->Counter(Folder::kInbox), (FolderCount{1, 1, 7}));
}

TEST_F(MessageTableTest, DeletingAHeldMessageWaitsForItsRelease) {
  MessageRecord* record = File(1, 0x03, "served\r\n");
  const std::uint32_t id = record->id;
  const std::string path = table_->MessageFilePath(*record);
  std::vector<MessageRecord*> session;
  table_->CollectInbox(1, session);
  ASSERT_EQ(session.size(), 1u);

  table_->Unlink(*record, /*keep_if_busy=*/true);
  EXPECT_EQ(table_->Find(id), nullptr);
  EXPECT_EQ(table_->Counter(Folder::kInbox).messages, 0);
  EXPECT_EQ(record->flags & kFlagDeletePending, kFlagDeletePending);
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(ReadFile(Db1()).substr(16, 36), record->Entry());  // 0x10 is on disk
  EXPECT_EQ(accounts_->counts[1], 1);

  table_->Unlink(*record, true);  // a second session deleting it too changes nothing
  EXPECT_EQ(table_->pending_count(), 1u);

  table_->ReleaseMessage(*session[0]);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(table_->pending_count(), 0u);
  EXPECT_EQ(accounts_->counts[1], 0);
  EXPECT_EQ(ReadFile(Db1()), "");  // nothing left: truncated
}

TEST_F(MessageTableTest, PendingDeletionIsCompletedAtTheNextLoad) {
  MessageRecord* keep = File(1, 0x03, "keep\r\n");
  MessageRecord* doomed = File(1, 0x03, "doomed\r\n");
  const std::uint32_t keep_id = keep->id;
  const std::uint64_t doomed_slot = doomed->slot_offset();
  const std::string doomed_path = table_->MessageFilePath(*doomed);
  std::vector<MessageRecord*> session;
  table_->CollectInbox(1, session);
  MessageRecord* one[] = {doomed};
  table_->DeleteMessages(one, /*keep_if_busy=*/true);

  Reopen();  // the program ended before the session released it
  EXPECT_FALSE(FileExists(doomed_path));
  EXPECT_EQ(ReadFile(Db1()).substr(doomed_slot, 52), std::string(52, '\0'));
  ASSERT_EQ(table_->size(), 1u);
  EXPECT_EQ(table_->records()[0]->id, keep_id);
  EXPECT_EQ(accounts_->counts[1], 1);
}

TEST_F(MessageTableTest, DeletingEverythingTruncatesBothFiles) {
  File(1, 0x05, "a\r\n");
  File(2, 0x05, "bb\r\n");
  File(1, 0x03, "ccc\r\n");
  table_->EmptyFolder(Folder::kTrash);
  EXPECT_EQ(table_->size(), 1u);
  EXPECT_EQ(table_->Counter(Folder::kTrash), FolderCount{});
  std::vector<MessageRecord*> all(table_->records().begin(), table_->records().end());
  all.push_back(all.front());  // listed twice: deleted once
  table_->DeleteMessages(all, true);
  EXPECT_EQ(table_->size(), 0u);
  EXPECT_EQ(ReadFile(Db1()), "");
  EXPECT_EQ(ReadFile(Db2()), "");
  EXPECT_EQ(accounts_->counts[1], 0);
  EXPECT_EQ(accounts_->counts[2], 0);

  const std::string before = ReadFile(Db1());
  table_->EmptyFolder(Folder::kTrash);  // nothing in Trash: nothing happens
  EXPECT_EQ(ReadFile(Db1()), before);
}

TEST_F(MessageTableTest, CompactionKeepsLiveAndPendingRecords) {
  std::vector<MessageRecord*> filed;
  for (int i = 0; i < 10; ++i) filed.push_back(File(1, 0x03, std::string(i + 1, 'm') + "\r\n"));
  std::vector<MessageRecord*> session;
  table_->CollectInbox(1, session);
  for (MessageRecord* held : session) {
    if (held != filed[9]) table_->ReleaseMessage(*held);
  }

  // 10 slots; 8 live: 520 / 416 is not above 1.33, nothing moves.
  MessageRecord* first_two[] = {filed[0], filed[1]};
  table_->DeleteMessages(first_two, true);
  EXPECT_EQ(ReadFile(Db1()).size(), 520u);
  // The held one leaves the table but keeps its slot.
  MessageRecord* held_one[] = {filed[9]};
  table_->DeleteMessages(held_one, true);
  // 7 in the table + 1 pending: 520 / 416 again; one more deletion passes 1.33.
  MessageRecord* third[] = {filed[2]};
  table_->DeleteMessages(third, true);
  EXPECT_EQ(ReadFile(Db1()).size(), 7u * 52);

  // The pending record was rewritten with its 0x10 mark, and its release frees its own
  // (new) slot, not a neighbour's.
  const std::string db1 = ReadFile(Db1());
  EXPECT_EQ(db1.substr(filed[9]->slot_offset() + 16, 36), filed[9]->Entry());
  table_->ReleaseMessage(*filed[9]);
  const std::vector<std::string> entries = EntriesInTable();
  Reopen();
  EXPECT_EQ(EntriesInTable(), entries);
  EXPECT_EQ(table_->size(), 6u);
  EXPECT_EQ(accounts_->counts[1], 6);
}

struct DamageRow {
  const char* name;
  std::function<void(std::string& db1, std::string& db2)> damage;
  bool file_deleted;
};

TEST_F(MessageTableTest, DamagedSlotsAreFreedOnDiskAtLoad) {
  const DamageRow rows[] = {
      {"flipped entry byte", [](std::string& db1, std::string&) { db1[52 + 16 + 13] ^= 1; },
       false},
      {"flipped digest byte", [](std::string& db1, std::string&) { db1[52] ^= 1; }, false},
      {"flipped blob byte", [](std::string&, std::string& db2) { db2[db2.size() - 1] ^= 1; },
       false},
      {"heap cut short", [](std::string&, std::string& db2) { db2.resize(db2.size() - 3); },
       false},
  };
  for (const DamageRow& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<MessageRecord*> all(table_->records().begin(), table_->records().end());
    table_->DeleteMessages(all, false);
    File(1, 0x03, "one\r\n");
    MessageRecord* second = File(1, 0x03, "two\r\n");
    // The damaged one must be last in db2 for the heap rows: file it last.
    const std::string second_path = table_->MessageFilePath(*second);
    std::string db1 = ReadFile(Db1());
    std::string db2 = ReadFile(Db2());
    ASSERT_EQ(db1.size(), 104u);
    row.damage(db1, db2);
    WriteFile(Db1(), db1);
    WriteFile(Db2(), db2);

    Reopen();
    EXPECT_EQ(table_->size(), 1u);
    const std::string after = ReadFile(Db1());
    EXPECT_EQ(after.substr(0, 52), db1.substr(0, 52));
    EXPECT_EQ(after.substr(52), std::string(52, '\0'));
    EXPECT_EQ(FileExists(second_path), !row.file_deleted);
    Reopen();
    EXPECT_EQ(table_->size(), 1u);
  }
}

TEST_F(MessageTableTest, SecondSlotOfAnIdIsFreedAtLoad) {
  MessageRecord* first = File(1, 0x03, "first\r\n");
  File(2, 0x03, "other\r\n");
  const std::uint32_t id = first->id;
  const std::string path = table_->MessageFilePath(*first);
  // A third slot repeating the first one's id (and summary), as a damaged file may hold.
  std::string db1 = ReadFile(Db1());
  ASSERT_EQ(db1.size(), 104u);
  db1 += db1.substr(0, 52);
  WriteFile(Db1(), db1);

  Reopen();
  EXPECT_EQ(table_->size(), 2u);
  ASSERT_NE(table_->Find(id), nullptr);
  EXPECT_EQ(table_->Find(id)->slot_offset(), 0u) << "the first slot of the id stays";
  EXPECT_EQ(accounts_->counts[1], 1);
  EXPECT_EQ(accounts_->counts[2], 1);
  EXPECT_EQ(table_->Counter(Folder::kInbox).messages, 2);
  const std::string after = ReadFile(Db1());
  EXPECT_EQ(after.substr(0, 104), db1.substr(0, 104));
  EXPECT_EQ(after.substr(104), std::string(52, '\0'));
  EXPECT_TRUE(FileExists(path));
}

TEST_F(MessageTableTest, VanishedAccountFreesSlotButKeepsFile) {
  File(1, 0x03, "stays\r\n");
  MessageRecord* gone = File(2, 0x03, "account removed\r\n");
  const std::string path = table_->MessageFilePath(*gone);
  Reopen({1});
  EXPECT_EQ(table_->size(), 1u);
  EXPECT_EQ(ReadFile(Db1()).substr(52), std::string(52, '\0'));
  EXPECT_TRUE(FileExists(path));
}

struct DataCheckRow {
  const char* name;
  std::function<void(const std::string& path, const std::string& text)> change;
  bool passes;
};

TEST_F(MessageTableTest, DataCheckCoversSizeAndFirstTwentyThousandBytes) {
  std::string text;
  while (text.size() < 30000) text += "line " + std::to_string(text.size()) + "\r\n";
  auto flip_at = [](std::size_t offset) {
    return [offset](const std::string& path, const std::string& original) {
      std::string changed = original;
      changed[offset] ^= 0x20;
      WriteFile(path, changed);
    };
  };
  const DataCheckRow rows[] = {
      {"unchanged", [](const std::string&, const std::string&) {}, true},
      {"first byte changed", flip_at(0), false},
      {"byte 19999 changed", flip_at(19999), false},
      {"byte 20000 changed", flip_at(20000), true},
      {"last byte changed", flip_at(29999), true},
      {"one byte longer",
       [](const std::string& path, const std::string& original) { WriteFile(path, original + "x"); },
       false},
      {"file removed", [](const std::string& path, const std::string&) { ::unlink(path.c_str()); },
       false},
      {"directory in its place",
       [](const std::string& path, const std::string&) {
         ::unlink(path.c_str());
         ::mkdir(path.c_str(), 0700);
       },
       false},
  };
  for (const DataCheckRow& row : rows) {
    SCOPED_TRACE(row.name);
    MessageRecord* record = File(1, 0x03, text.substr(0, 30000));
    const std::string path = table_->MessageFilePath(*record);
    row.change(path, text.substr(0, 30000));
    EXPECT_EQ(table_->CheckMessageData(*record), row.passes);
    std::vector<MessageRecord*> inbox;
    table_->CollectInbox(1, inbox);
    EXPECT_EQ(std::count(inbox.begin(), inbox.end(), record), row.passes ? 1 : 0);
    for (MessageRecord* held : inbox) table_->ReleaseMessage(*held);
    ::rmdir(path.c_str());
  }
  // A short message is covered whole.
  MessageRecord* small = File(1, 0x03, "tiny\r\n");
  EXPECT_TRUE(table_->CheckMessageData(*small));
  WriteFile(table_->MessageFilePath(*small), "tinY\r\n");
  EXPECT_FALSE(table_->CheckMessageData(*small));
}

TEST_F(MessageTableTest, CollectInboxTakesTheAccountsInboxWithAHold) {
  MessageRecord* mine = File(1, 0x03, "mine\r\n");
  File(2, 0x03, "other account\r\n");
  File(1, 0x01, "junk\r\n");
  File(1, 0x00, "held\r\n");
  std::vector<MessageRecord*> list;
  table_->CollectInbox(1, list);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], mine);
  EXPECT_EQ(mine->references, 2);
  table_->ReleaseMessage(*mine);
  table_->ReleaseMessage(*mine);  // one release too many keeps the table's reference
  EXPECT_EQ(mine->references, 1);
  EXPECT_EQ(table_->Find(mine->id), mine);
}

// The generator's next value, computed here from its published rule.
int NextRand(std::uint32_t& state) {
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFF);
}

TEST_F(MessageTableTest, IdCollisionWithAnExistingFileDrawsAgain) {
  // 65536 files: on a memory file system when there is one, to keep the test quick.
  std::string shm = "/dev/shm/pelrion-msg-XXXXXX";
  const bool in_memory = ::access("/dev/shm", W_OK) == 0 && ::mkdtemp(shm.data()) != nullptr;
  const std::string folder = in_memory ? shm + "/" : Folder();
  struct RemoveOnExit {
    std::string path;
    ~RemoveOnExit() {
      std::error_code ignored;
      if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
  } cleanup{in_memory ? shm : std::string()};
  MessageTable table(folder, *accounts_, held_, view_);

  std::uint32_t state = 12345;
  const std::uint32_t first_high = static_cast<std::uint32_t>(NextRand(state)) << 16;
  const std::uint32_t second_high = static_cast<std::uint32_t>(NextRand(state)) << 16;
  ASSERT_NE(first_high, second_high);
  // Every id the first draw can give (whatever the tick count) already has a file.
  for (std::uint32_t low = 0; low <= 0xFFFF; ++low) {
    const int fd = ::open(MessageFilePath(folder, first_high | low).c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  WriteFile(MessageFilePath(folder, first_high | 0x1234), "taken");
  platform::SeedRand(12345);
  MessageRecord record;
  table.CreateMessageFile(record);
  EXPECT_EQ(record.id & 0xFFFF0000u, second_high);
  EXPECT_EQ(ReadFile(table.MessageFilePath(record)), "");
  EXPECT_EQ(ReadFile(MessageFilePath(folder, first_high | 0x1234)), "taken");
}

struct DeathRow {
  const char* name;
  // Breaks one database file (a directory in its place) and runs the operation.
  std::function<void(MessageTable& table, const std::string& folder)> run;
  const char* witness;  // a file the failed operation must leave intact
};

TEST(MessageTableDeathTest, FileErrorsStopWithTheDatabaseText) {
  auto make_dir = [](const std::string& path) {
    ::unlink(path.c_str());
    ::mkdir(path.c_str(), 0700);
  };
  const DeathRow rows[] = {
      {"heap append",
       [&](MessageTable& table, const std::string& folder) {
         make_dir(folder + "db2.dat");
         auto record = std::make_unique<MessageRecord>();
         table.CreateMessageFile(*record);
         record->account_id = 1;
         table.RegisterMessage(std::move(record));
       },
       "db1.dat"},
      {"slot rewrite",
       [&](MessageTable& table, const std::string& folder) {
         make_dir(folder + "db1.dat");
         table.MarkRead(*table.records()[0]);
       },
       "db2.dat"},
      {"load",
       [&](MessageTable& table, const std::string& folder) {
         make_dir(folder + "db1.dat");
         table.Load();
       },
       "db2.dat"},
      {"message file in a missing folder",
       [&](MessageTable&, const std::string& folder) {
         FakeAccounts accounts({1});
         HeldMessages no_quarantine;
         NoFoldersView no_view;
         MessageTable elsewhere(folder + "missing/", accounts, no_quarantine, no_view);
         MessageRecord record;
         elsewhere.CreateMessageFile(record);
       },
       "db1.dat"},
  };
  for (const DeathRow& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const std::string folder = dir.path() + "/";
    FakeAccounts accounts({1});
    HeldMessages no_quarantine;
    NoFoldersView no_view;
    MessageTable table(folder, accounts, no_quarantine, no_view);
    table.Load();
    auto record = std::make_unique<MessageRecord>();
    table.CreateMessageFile(*record);
    record->account_id = 1;
    record->flags = 0x03;
    ASSERT_NE(table.RegisterMessage(std::move(record)), nullptr);
    const std::string witness = ReadFile(folder + row.witness);
    ASSERT_FALSE(witness.empty());
    EXPECT_EXIT(row.run(table, folder), ::testing::ExitedWithCode(1), kDatabaseText);
    EXPECT_EQ(ReadFile(folder + row.witness), witness);
  }
}

}  // namespace
}  // namespace pelrion::store
