// MessageRecord: one stored message's bookkeeping. Its 36-byte entry fills a 52-byte slot
// of "db1.dat" (16-byte digest + entry); nine 32-bit little-endian fields in this order:
// id, summary offset, summary size, account id, flags, request-sent time, request number,
// authorization code, status. The folder is not stored: it follows from the flags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/database_files.h"
#include "store/message_summary.h"
#include "store/slot_record.h"
#include "store/slot_scan.h"

namespace pelrion::store {

inline constexpr std::size_t kMessageSlotSize = 16 + kMessageEntrySize;
// db2 item header: the record's id, then the MD5 of the blob.
inline constexpr std::size_t kSummaryHeaderSize = 20;

// Flag bits; other bits are 0.
inline constexpr std::uint32_t kFlagDecided = 0x01;  // has left the Quarantine
inline constexpr std::uint32_t kFlagInbox = 0x02;
inline constexpr std::uint32_t kFlagTrash = 0x04;
inline constexpr std::uint32_t kFlagRead = 0x08;
inline constexpr std::uint32_t kFlagDeletePending = 0x10;

enum class Folder : int { kInbox = 0, kQuarantine = 1, kJunkMail = 2, kTrash = 3 };
inline constexpr int kFolderCount = 4;

// "Inbox", "Quarantine", "Junk Mail", "Trash".
std::string_view FolderName(Folder folder);

// 0x01 clear: Quarantine; else 0x04: Trash; else 0x02: Inbox; else Junk Mail.
Folder FolderOfFlags(std::uint32_t flags);

// The folder bits (0x01, 0x02, 0x04) that place a message in `folder`.
std::uint32_t FolderBits(Folder folder);

// Records are held by pointer (the table, sessions, the view); never copied.
struct MessageRecord : BlobRecord {
  MessageRecord() = default;
  MessageRecord(const MessageRecord&) = delete;
  MessageRecord& operator=(const MessageRecord&) = delete;

  // Stored fields.
  std::uint32_t id = 0;
  std::uint32_t summary_offset = 0;
  std::uint32_t summary_size = 0;
  std::uint32_t account_id = 0;
  std::uint32_t flags = 0;
  std::int32_t request_sent_time = 0;
  std::int32_t request_number = 0;
  std::int32_t authorization_code = 0;
  std::int32_t status = 0;

  // In memory only (the slot offset is kept by the SlotRecord base).
  bool has_slot = false;  // written to "db1.dat" and not freed since
  MessageSummary summary;
  int references = 1;  // the table's own reference plus one per holder
  std::uint32_t view_state = 0;  // used by the message list only

  Folder folder() const { return FolderOfFlags(flags); }
  bool read() const { return (flags & kFlagRead) != 0; }

  // BlobRecord: the 36 entry bytes, the summary blob and its header id.
  std::string Entry() const override;
  std::uint32_t HeapId() const override { return id; }
  std::string Blob() const override { return EncodeMessageSummary(summary); }
  void SetHeapItem(HeapItem item) override {
    summary_offset = item.offset;
    summary_size = item.size;
  }
};

// The nine stored fields of a 36-byte entry; false (record untouched) for any other size.
bool DecodeMessageEntry(std::string_view entry, MessageRecord& record);

// How "db1.dat" entries look to the slot mechanics: free when the id is 0; the heap item
// is (summary offset, summary size) and the heap header carries the id.
SlotLayout MessageSlotLayout();

// The message file of `id` in `database_folder` (which ends in '/'): "%s%u%s" with ".eml".
std::string MessageFilePath(const std::string& database_folder, std::uint32_t id);

// Read-only inspection of one "db1.dat" slot against the "db2.dat" bytes, for the
// database dump and check tool. Writes nothing.
struct MessageSlotReport {
  enum class Verdict {
    kFree,           // id 0
    kBadDigest,      // slot digest differs from the entry's MD5
    kDeletePending,  // 0x10: deleted at the next load
    kOutsideHeap,    // summary item not inside db2
    kBadHeapHeader,  // heap header id or blob digest differs
    kBadSummary,     // a reference inside the blob points outside it
    kOk,
  };
  Verdict verdict = Verdict::kFree;
  std::uint32_t id = 0, account_id = 0, flags = 0;  // from the entry when the slot is complete
  std::int32_t status = 0;
  std::optional<MessageSummary> summary;  // decoded when the item passed its checks
};
// `slot` is the 52 slot bytes; `db2` the whole heap file. Account existence is the
// caller's check.
MessageSlotReport InspectMessageSlot(std::string_view slot, std::string_view db2);

}  // namespace pelrion::store
