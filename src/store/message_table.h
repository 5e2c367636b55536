// MessageTable: every stored message, held in memory sorted by id and persisted in
// "db1.dat" (one slot per message) and "db2.dat" (one summary blob per message); the text
// of each message is its own file "<id>.eml" in the database folder. Main thread only:
// worker threads reach it through the calls in message_calls.h. Any file error on the
// database files is FatalStop("Critical error on database access.").
//
// Records are reference counted: the table holds one reference for as long as a record
// is in it, every holder (a mail-client session) one more. A record deleted while still
// held is marked 0x10 (deletion pending) and goes for good when its last holder lets go,
// or at the next load.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/folder_counters.h"
#include "store/folders_view.h"
#include "store/heap_file.h"
#include "store/held_messages.h"
#include "store/id_index.h"
#include "store/message_accounts.h"
#include "store/message_record.h"
#include "store/slot_file.h"

namespace pelrion::store {

class MessageTable {
 public:
  // database_folder ends in '/'. held is the quarantine's side (told of Quarantine messages
  // that arrive and leave), view the message list (told of every change to a folder). The
  // accounts and both ports must outlive the table.
  MessageTable(std::string database_folder, MessageAccounts& accounts, HeldMessages& held,
               FoldersView& view);
  ~MessageTable();
  MessageTable(const MessageTable&) = delete;
  MessageTable& operator=(const MessageTable&) = delete;

  // Loads "db1.dat"/"db2.dat" (created empty when missing). Damaged slots and slots of
  // vanished accounts are freed on disk; a slot marked 0x10 has its message file deleted
  // and is freed. Each kept message adds 1 to its account's message count.
  void Load();

  // Gives the record a fresh non-zero id that no stored message uses and creates its
  // empty message file with create-new semantics (an existing file is never reused).
  void CreateMessageFile(MessageRecord& record);
  std::string MessageFilePath(const MessageRecord& record) const;

  // Files a new message: +1 on its account's count, blob and slot written, inserted, held
  // when in Quarantine, counted in its folder. Returns the registered record (the table now
  // owns it). nullptr when its account no longer exists, its id is 0 or already stored;
  // the record is then left with the caller, who discards it and its file.
  MessageRecord* RegisterMessage(std::unique_ptr<MessageRecord>&& record);

  // A mail client deleted the message: out of its folder, the table and the quarantine,
  // then DeleteMessages([record], keep_if_busy). No effect on a record not in the table.
  void Unlink(MessageRecord& record, bool keep_if_busy);

  // Ends one hold; a record whose last reference goes is deleted for good. A record still
  // in the table never loses the table's own reference here.
  void ReleaseMessage(MessageRecord& record);

  // Appends the account's Inbox messages (ascending id) whose data check passes, taking a
  // reference on each.
  void CollectInbox(std::uint32_t account_id, std::vector<MessageRecord*>& list);

  // Rewrites the record's slot after a change of flags, times, number, code or status.
  void SaveRecord(MessageRecord& record);
  // SaveRecord, then the view hears that a record of the table changed in place (request
  // fields, status) so its line is redrawn.
  void RefreshRecord(MessageRecord& record);

  // Moves records of the table to target (status 0, quarantine released, slot saved,
  // counters and view updated). Records already there are left alone; Quarantine is not a
  // target (a message enters it only when it arrives).
  void MoveMessages(std::span<MessageRecord* const> records, Folder target);

  // The final decision on a held message: Inbox when accepted; when rejected, Junk Mail if
  // the "junk" preference is on, else Trash. Does not touch the quarantine's entries.
  void ResolveMessage(MessageRecord& record, bool accept, bool junk_preference);

  // Takes the records out of their folders, the table and the quarantine and drops the
  // table's reference. A record nobody holds is deleted for good (account count -1, file
  // deleted, slot freed); one still held is marked 0x10 when keep_if_busy is set. Then the
  // files are compacted when wasteful (both truncated to 0 bytes when nothing is left).
  void DeleteMessages(std::span<MessageRecord* const> records, bool keep_if_busy);
  // DeleteMessages (keep-if-busy on) of every message in the folder.
  void EmptyFolder(Folder folder);

  // The message file's size equals summary word 3 and the MD5 of its first
  // min(size, 20000) bytes equals the content digest. A file that cannot be opened fails.
  bool CheckMessageData(const MessageRecord& record) const;

  void MarkRead(MessageRecord& record);
  void MarkUnread(MessageRecord& record);

  MessageRecord* Find(std::uint32_t id) const { return index_.Find(id); }
  // Records of the table in ascending id order.
  const std::vector<MessageRecord*>& records() const { return index_.records(); }
  std::size_t size() const { return index_.size(); }
  const FolderCount& Counter(Folder folder) const { return counters_.Of(folder); }
  // Records out of the table but still held (deletion pending).
  std::size_t pending_count() const { return owned_.size() - index_.size(); }

 private:
  bool InTable(const MessageRecord& record) const { return index_.Find(record.id) == &record; }
  // Deletes the message file of every valid slot marked 0x10 (the first step of Load).
  void RemoveFilesOfPendingDeletions(const SlotLayout& layout);
  void LinkToFolder(MessageRecord& record);
  void UnlinkFromFolder(MessageRecord& record);
  // Deletes a record nobody holds any more: count, file, slot, memory.
  void DeleteForGood(MessageRecord& record);
  void CompactIfWasteful();

  std::string folder_;
  MessageAccounts& accounts_;
  HeldMessages& held_;
  FoldersView& view_;
  SlotFile slots_;
  HeapFile heap_;
  IdIndex<MessageRecord> index_;
  // Every live record: those in the table and those pending deletion.
  std::unordered_map<const MessageRecord*, std::unique_ptr<MessageRecord>> owned_;
  FolderCounters counters_;
};

}  // namespace pelrion::store
