#include "store/message_table.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <memory>

#include "platform/random.h"
#include "store/compaction.h"
#include "store/content_digest.h"
#include "store/database_files.h"
#include "store/byte_reader.h"
#include "store/record_digest.h"
#include "store/slot_loader.h"
#include "store/slot_scan.h"
#include "store/store_file.h"

namespace pelrion::store {
namespace {

std::uint32_t IdOf(const MessageRecord& record) { return record.id; }

// Deletes a message file; a file already gone is not an error.
void RemoveMessageFile(const std::string& path) { ::unlink(path.c_str()); }

// A slot's record as the load takes it, decided from the slot alone (so either thread of the
// load may make it); null for a slot the load frees.
std::unique_ptr<MessageRecord> DecodeLoadedRecord(const ScannedSlot& slot) {
  auto record = std::make_unique<MessageRecord>();
  if (!DecodeMessageEntry(slot.entry, *record)) return nullptr;
  if ((record->flags & kFlagDeletePending) != 0) return nullptr;
  auto summary = DecodeMessageSummary(slot.blob);
  if (!summary) return nullptr;
  record->summary = std::move(*summary);
  record->set_slot_offset(slot.slot_offset);
  record->has_slot = true;
  return record;
}

}  // namespace

MessageTable::MessageTable(std::string database_folder, MessageAccounts& accounts,
                           HeldMessages& held, FoldersView& view)
    : folder_(std::move(database_folder)),
      accounts_(accounts),
      held_(held),
      view_(view),
      slots_(folder_ + std::string(kMessageSlotsFile), kMessageEntrySize),
      heap_(folder_ + std::string(kMessageHeapFile), HeapHeader::kIdAndDigest),
      index_(&IdOf) {}

MessageTable::~MessageTable() = default;

std::string MessageTable::MessageFilePath(const MessageRecord& record) const {
  return store::MessageFilePath(folder_, record.id);
}

void MessageTable::Load() {
  index_.Clear();
  owned_.clear();
  counters_.Clear();
  const SlotLayout layout = MessageSlotLayout();
  RemoveFilesOfPendingDeletions(layout);

  // The records are decoded by both threads of the load, each into its own list; what
  // needs the tables (the account check, the index) is done here afterwards.
  std::vector<std::unique_ptr<MessageRecord>> parts[2];
  LoadSlotFileInParts(slots_, &heap_, layout, [&parts](ScannedSlot& slot, int part) {
    auto record = DecodeLoadedRecord(slot);
    if (!record) return false;
    parts[part].push_back(std::move(record));
    return true;
  });
  std::vector<std::unique_ptr<MessageRecord>> loaded = std::move(parts[0]);
  loaded.reserve(loaded.size() + parts[1].size());
  std::move(parts[1].begin(), parts[1].end(), std::back_inserter(loaded));

  // The account check frees the slot but leaves the message file where it is.
  for (auto& record : loaded) {
    if (accounts_.AccountExists(record->account_id)) continue;
    slots_.FreeSlot(*record);
    record->has_slot = false;
  }

  // One sort builds the index; of slots sharing an id the first in the file stays and the
  // others are freed, as if they had been refused while reading.
  std::vector<MessageRecord*> candidates;
  candidates.reserve(loaded.size());
  for (const auto& record : loaded) {
    if (record->has_slot) candidates.push_back(record.get());
  }
  for (MessageRecord* duplicate : index_.Assign(std::move(candidates))) {
    slots_.FreeSlot(*duplicate);
    duplicate->has_slot = false;
  }
  owned_.reserve(index_.size());
  for (auto& record : loaded) {
    if (!record->has_slot) continue;
    accounts_.AdjustMessageCount(record->account_id, +1);
    counters_.Link(*record);
    MessageRecord* raw = record.get();
    owned_.emplace(raw, std::move(record));
  }
}

void MessageTable::RemoveFilesOfPendingDeletions(const SlotLayout& layout) {
  // Deletion-pending slots lose their message file before the heap is consulted, so a
  // message deleted while a mail client held it is gone even if its summary is damaged.
  // Only slots carrying the mark are digest-checked here; the load checks every slot.
  auto existing = StoreFile::Open(slots_.path(), OpenMode::kReadOnly);
  if (!existing) return;
  const std::string bytes = ReadAllOrDie(*existing);
  const std::string_view all(bytes);
  for (std::size_t pos = 0; all.size() - pos >= kMessageSlotSize; pos += kMessageSlotSize) {
    const std::string_view slot = all.substr(pos, kMessageSlotSize);
    if ((U32At(slot, kDigestSize + 16).value_or(0) & kFlagDeletePending) == 0) continue;
    if (CheckSlot(slot, layout, nullptr, nullptr) != SlotVerdict::kValid) continue;
    MessageRecord record;
    if (DecodeMessageEntry(slot.substr(kDigestSize), record)) {
      RemoveMessageFile(MessageFilePath(record));
    }
  }
}

void MessageTable::CreateMessageFile(MessageRecord& record) {
  for (;;) {
    const std::uint32_t id = platform::Random32();
    if (id == 0 || index_.Find(id) != nullptr) continue;
    const std::string path = store::MessageFilePath(folder_, id);
    int fd;
    do {
      fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      // Another message (perhaps one pending deletion) owns that name: draw again.
      if (errno == EEXIST) continue;
      DatabaseError();
    }
    ::close(fd);
    record.id = id;
    return;
  }
}

MessageRecord* MessageTable::RegisterMessage(std::unique_ptr<MessageRecord>&& record) {
  if (!record || record->id == 0 || index_.Find(record->id) != nullptr) return nullptr;
  if (!accounts_.AdjustMessageCount(record->account_id, +1)) return nullptr;
  std::unique_ptr<MessageRecord> owned = std::move(record);
  MessageRecord* raw = owned.get();
  // Held first: the quarantine gives the message its request fields, which then reach the
  // disk with the slot.
  if (raw->folder() == Folder::kQuarantine) held_.HoldMessage(*raw);
  heap_.AppendBlob(*raw);
  slots_.WriteSlot(*raw, /*allocate=*/true);
  raw->has_slot = true;
  index_.Insert(raw);
  owned_.emplace(raw, std::move(owned));
  LinkToFolder(*raw);
  return raw;
}

void MessageTable::Unlink(MessageRecord& record, bool keep_if_busy) {
  MessageRecord* one[] = {&record};
  DeleteMessages(one, keep_if_busy);
}

void MessageTable::ReleaseMessage(MessageRecord& record) {
  if (owned_.count(&record) == 0) return;
  if (InTable(record)) {
    // The table's own reference stays until the record leaves the table.
    if (record.references > 1) --record.references;
    return;
  }
  if (--record.references > 0) return;
  DeleteForGood(record);
  CompactIfWasteful();
}

void MessageTable::CollectInbox(std::uint32_t account_id, std::vector<MessageRecord*>& list) {
  for (MessageRecord* record : index_) {
    if (record->account_id != account_id || record->folder() != Folder::kInbox) continue;
    if (!CheckMessageData(*record)) continue;
    ++record->references;
    list.push_back(record);
  }
}

void MessageTable::SaveRecord(MessageRecord& record) {
  if (record.has_slot) slots_.WriteSlot(record, /*allocate=*/false);
}

void MessageTable::RefreshRecord(MessageRecord& record) {
  SaveRecord(record);
  if (InTable(record)) view_.MessageChanged(record);
}

void MessageTable::MoveMessages(std::span<MessageRecord* const> records, Folder target) {
  if (target == Folder::kQuarantine) return;
  for (MessageRecord* record : records) {
    if (record == nullptr || !InTable(*record)) continue;
    const Folder source = record->folder();
    if (source == target) continue;
    UnlinkFromFolder(*record);
    if (source == Folder::kQuarantine) held_.ReleaseHeldMessage(*record);
    // Set from the target rather than bit by bit, so odd stored combinations (say 0x02
    // without 0x01) still land in the folder asked for.
    record->flags =
        (record->flags & ~(kFlagDecided | kFlagInbox | kFlagTrash)) | FolderBits(target);
    record->status = 0;
    SaveRecord(*record);
    LinkToFolder(*record);
  }
}

void MessageTable::ResolveMessage(MessageRecord& record, bool accept, bool junk_preference) {
  if (!InTable(record)) return;
  UnlinkFromFolder(record);
  const Folder target =
      accept ? Folder::kInbox : (junk_preference ? Folder::kJunkMail : Folder::kTrash);
  record.flags = (record.flags & ~(kFlagDecided | kFlagInbox | kFlagTrash)) | FolderBits(target);
  SaveRecord(record);
  LinkToFolder(record);
}

void MessageTable::DeleteMessages(std::span<MessageRecord* const> records, bool keep_if_busy) {
  bool freed = false;
  for (MessageRecord* record : records) {
    // Only records of the table: a record already deleted (and perhaps still held by
    // another session) must not lose a reference twice, and one freed earlier in this
    // loop (listed twice) must not even be looked at.
    if (record == nullptr || owned_.count(record) == 0 || !InTable(*record)) continue;
    const bool held = record->folder() == Folder::kQuarantine;
    UnlinkFromFolder(*record);
    index_.Remove(record->id);
    if (held) held_.ReleaseHeldMessage(*record);
    if (--record->references == 0) {
      DeleteForGood(*record);
      freed = true;
    } else if (keep_if_busy) {
      record->flags |= kFlagDeletePending;
      SaveRecord(*record);
    }
  }
  if (freed) CompactIfWasteful();
}

void MessageTable::EmptyFolder(Folder folder) {
  std::vector<MessageRecord*> doomed;
  for (MessageRecord* record : index_) {
    if (record->folder() == folder) doomed.push_back(record);
  }
  if (!doomed.empty()) DeleteMessages(doomed, /*keep_if_busy=*/true);
}

bool MessageTable::CheckMessageData(const MessageRecord& record) const {
  const auto fingerprint =
      ReadContentFingerprint(MessageFilePath(record), record.summary.file_size);
  return fingerprint && fingerprint->digest == record.summary.content_digest;
}

void MessageTable::MarkRead(MessageRecord& record) {
  if (!InTable(record) || record.read()) return;
  UnlinkFromFolder(record);
  record.flags |= kFlagRead;
  SaveRecord(record);
  LinkToFolder(record);
}

void MessageTable::MarkUnread(MessageRecord& record) {
  if (!InTable(record) || !record.read()) return;
  UnlinkFromFolder(record);
  record.flags &= ~kFlagRead;
  SaveRecord(record);
  LinkToFolder(record);
}

void MessageTable::LinkToFolder(MessageRecord& record) {
  counters_.Link(record);
  view_.MessageLinked(record, record.folder());
}

void MessageTable::UnlinkFromFolder(MessageRecord& record) {
  counters_.Unlink(record);
  view_.MessageUnlinked(record, record.folder());
}

void MessageTable::DeleteForGood(MessageRecord& record) {
  accounts_.AdjustMessageCount(record.account_id, -1);
  RemoveMessageFile(MessageFilePath(record));
  if (record.has_slot) slots_.FreeSlot(record);
  owned_.erase(&record);
}

void MessageTable::CompactIfWasteful() {
  // Every owned record holds a slot (freed ones leave owned_), so the live count is known
  // without walking the table: most deletions end here, in constant time.
  if (!NeedsCompaction(slots_.end_offset(), index_.size() + pending_count(), slots_.slot_size())) {
    return;
  }
  // Records pending deletion keep their slots (and their 0x10 mark) through compaction:
  // their slot offsets must stay valid for the final release.
  std::vector<BlobRecord*> live(index_.begin(), index_.end());
  std::vector<MessageRecord*> pending;
  for (const auto& [key, record] : owned_) {
    if (!InTable(*record) && record->has_slot) pending.push_back(record.get());
  }
  std::sort(pending.begin(), pending.end(),
            [](const MessageRecord* a, const MessageRecord* b) { return a->id < b->id; });
  live.insert(live.end(), pending.begin(), pending.end());
  store::CompactIfWasteful(slots_, heap_, live);
}

}  // namespace pelrion::store
