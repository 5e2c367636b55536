// SlotFile: fixed slots [16-byte MD5][entry] from offset 0, no header. A freed slot is an
// all-zero entry with an all-zero digest. Each write opens the file, writes one slot, closes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/slot_record.h"

namespace pelrion::store {

class SlotFile {
 public:
  SlotFile(std::string path, std::size_t entry_size)
      : path_(std::move(path)), entry_size_(entry_size) {}

  const std::string& path() const { return path_; }
  std::size_t entry_size() const { return entry_size_; }
  std::size_t slot_size() const { return 16 + entry_size_; }

  // Where the next new slot goes.
  std::uint64_t end_offset() const { return end_offset_; }
  void set_end_offset(std::uint64_t offset) { end_offset_ = offset; }

  // With allocate, the record first takes the slot at the end offset (which grows by one
  // slot); then digest + entry are written at the record's slot. Dies on any file error.
  void WriteSlot(SlotRecord& record, bool allocate);
  // Writes an all-zero entry and a zero digest at the record's slot.
  void FreeSlot(const SlotRecord& record) { FreeSlotAt(record.slot_offset()); }
  void FreeSlotAt(std::uint64_t slot_offset);

  // Truncates the file to length 0 and resets the end offset.
  void Truncate();

  // The slot bytes of entry (digest + entry, entry fitted to the entry size).
  std::string EncodeSlot(std::string_view entry) const;

 private:
  std::string path_;
  std::size_t entry_size_;
  std::uint64_t end_offset_ = 0;
};

}  // namespace pelrion::store
