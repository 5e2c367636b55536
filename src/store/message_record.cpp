#include "store/message_record.h"

#include "store/byte_reader.h"
#include "store/byte_writer.h"
#include "store/heap_file.h"
#include "store/record_digest.h"

namespace pelrion::store {

std::string_view FolderName(Folder folder) {
  switch (folder) {
    case Folder::kInbox:
      return "Inbox";
    case Folder::kQuarantine:
      return "Quarantine";
    case Folder::kJunkMail:
      return "Junk Mail";
    case Folder::kTrash:
      return "Trash";
  }
  return "";
}

Folder FolderOfFlags(std::uint32_t flags) {
  if ((flags & kFlagDecided) == 0) return Folder::kQuarantine;
  if ((flags & kFlagTrash) != 0) return Folder::kTrash;
  if ((flags & kFlagInbox) != 0) return Folder::kInbox;
  return Folder::kJunkMail;
}

std::uint32_t FolderBits(Folder folder) {
  switch (folder) {
    case Folder::kInbox:
      return kFlagDecided | kFlagInbox;
    case Folder::kQuarantine:
      return 0;
    case Folder::kJunkMail:
      return kFlagDecided;
    case Folder::kTrash:
      return kFlagDecided | kFlagTrash;
  }
  return 0;
}

std::string MessageRecord::Entry() const {
  ByteWriter out;
  out.U32(id);
  out.U32(summary_offset);
  out.U32(summary_size);
  out.U32(account_id);
  out.U32(flags);
  out.I32(request_sent_time);
  out.I32(request_number);
  out.I32(authorization_code);
  out.I32(status);
  return out.Take();
}

bool DecodeMessageEntry(std::string_view entry, MessageRecord& record) {
  if (entry.size() != kMessageEntrySize) return false;
  ByteReader in(entry);
  record.id = in.U32();
  record.summary_offset = in.U32();
  record.summary_size = in.U32();
  record.account_id = in.U32();
  record.flags = in.U32();
  record.request_sent_time = in.I32();
  record.request_number = in.I32();
  record.authorization_code = in.I32();
  record.status = in.I32();
  return in.ok();
}

SlotLayout MessageSlotLayout() {
  SlotLayout layout;
  layout.entry_size = kMessageEntrySize;
  layout.is_free = [](std::string_view entry) { return U32At(entry, 0).value_or(0) == 0; };
  layout.id_of = [](std::string_view entry) { return U32At(entry, 0).value_or(0); };
  layout.item_of = [](std::string_view entry) {
    return HeapItem{U32At(entry, 4).value_or(0), U32At(entry, 8).value_or(0)};
  };
  return layout;
}

std::string MessageFilePath(const std::string& database_folder, std::uint32_t id) {
  return database_folder + std::to_string(id) + ".eml";
}

MessageSlotReport InspectMessageSlot(std::string_view slot, std::string_view db2) {
  using Verdict = MessageSlotReport::Verdict;
  MessageSlotReport report;
  if (slot.size() != kMessageSlotSize) {
    report.verdict = Verdict::kBadDigest;
    return report;
  }
  const std::string_view entry = slot.substr(kDigestSize);
  MessageRecord record;
  DecodeMessageEntry(entry, record);
  report.id = record.id;
  report.account_id = record.account_id;
  report.flags = record.flags;
  report.status = record.status;

  const SlotLayout layout = MessageSlotLayout();
  const HeapView heap{HeapHeader::kIdAndDigest, db2.size(),
                      [db2](std::uint64_t offset,
                            std::size_t size) -> std::optional<std::string_view> {
                        if (offset > db2.size() || db2.size() - offset < size) return std::nullopt;
                        return db2.substr(offset, size);
                      }};
  // The load order: free, digest, then pending deletion before the heap is consulted.
  const SlotVerdict mechanical = CheckSlot(slot, layout, nullptr, nullptr);
  if (mechanical == SlotVerdict::kFree) {
    report.verdict = Verdict::kFree;
    return report;
  }
  if (mechanical != SlotVerdict::kValid) {
    report.verdict = Verdict::kBadDigest;
    return report;
  }
  if ((record.flags & kFlagDeletePending) != 0) {
    report.verdict = Verdict::kDeletePending;
    return report;
  }
  std::string blob;
  switch (CheckSlot(slot, layout, &heap, &blob)) {
    case SlotVerdict::kValid:
      break;
    case SlotVerdict::kOutsideHeap:
    case SlotVerdict::kHeapReadError:
      report.verdict = Verdict::kOutsideHeap;
      return report;
    default:
      report.verdict = Verdict::kBadHeapHeader;
      return report;
  }
  report.summary = DecodeMessageSummary(blob);
  report.verdict = report.summary ? Verdict::kOk : Verdict::kBadSummary;
  return report;
}

}  // namespace pelrion::store
