// What the slot and heap file mechanics need from a table's record. The message, contact and
// digest tables derive their records from these.
#pragma once

#include <cstdint>
#include <string>

namespace pelrion::store {

// Where a blob went in its heap file: the offset of its header and the blob's size.
struct HeapItem {
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
};

// A record kept in one slot of a SlotFile.
class SlotRecord {
 public:
  virtual ~SlotRecord() = default;

  // The entry bytes exactly as stored (the slot file's entry size).
  virtual std::string Entry() const = 0;

  // Byte offset of the record's slot in its slot file (memory only).
  std::uint64_t slot_offset() const { return slot_offset_; }
  void set_slot_offset(std::uint64_t offset) { slot_offset_ = offset; }

 private:
  std::uint64_t slot_offset_ = 0;
};

// A slot record whose variable part is a blob in the paired HeapFile.
class BlobRecord : public SlotRecord {
 public:
  // The id written into an id-carrying heap header (the message store's).
  virtual std::uint32_t HeapId() const = 0;
  // The blob bytes exactly as stored (references as offsets); starts with its own size.
  virtual std::string Blob() const = 0;
  // Tells the record where AppendBlob placed its blob, so that Entry() stores it.
  virtual void SetHeapItem(HeapItem item) = 0;
};

}  // namespace pelrion::store
