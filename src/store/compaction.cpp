#include "store/compaction.h"

namespace pelrion::store {

bool NeedsCompaction(std::uint64_t file_length, std::size_t live_records, std::size_t slot_size) {
  if (live_records == 0) return true;
  // length / live > 1.33 in exact integer arithmetic (lengths stay below 2^31, so no overflow).
  const std::uint64_t live = static_cast<std::uint64_t>(live_records) * slot_size;
  return file_length * 100 > live * 133;
}

void Compact(SlotFile& slots, HeapFile& heap, std::span<BlobRecord* const> records) {
  slots.Truncate();
  heap.Truncate();
  for (BlobRecord* record : records) {
    heap.AppendBlob(*record);
    slots.WriteSlot(*record, /*allocate=*/true);
  }
}

void CompactSlots(SlotFile& slots, std::span<SlotRecord* const> records) {
  slots.Truncate();
  for (SlotRecord* record : records) slots.WriteSlot(*record, /*allocate=*/true);
}

bool CompactIfWasteful(SlotFile& slots, HeapFile& heap, std::span<BlobRecord* const> records) {
  if (!NeedsCompaction(slots.end_offset(), records.size(), slots.slot_size())) return false;
  Compact(slots, heap, records);
  return true;
}

bool CompactIfWasteful(SlotFile& slots, std::span<SlotRecord* const> records) {
  if (!NeedsCompaction(slots.end_offset(), records.size(), slots.slot_size())) return false;
  CompactSlots(slots, records);
  return true;
}

}  // namespace pelrion::store
