// Reclaiming the space of freed slots and dead heap items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "store/heap_file.h"
#include "store/slot_file.h"
#include "store/slot_record.h"

namespace pelrion::store {

// The wasted-space rule: compact when the table is empty, or when file_length divided by
// (live records * slot size) is greater than 1.33.
bool NeedsCompaction(std::uint64_t file_length, std::size_t live_records, std::size_t slot_size);

// Truncates both files to length 0, then for every record in table order appends its blob
// and writes it to a freshly allocated slot. Dies on any file error.
void Compact(SlotFile& slots, HeapFile& heap, std::span<BlobRecord* const> records);

// The slot-only form (a slot file without heap): truncate, then rewrite the live slots
// from offset 0 in table order.
void CompactSlots(SlotFile& slots, std::span<SlotRecord* const> records);

// Compacts when NeedsCompaction holds for the slot file's end offset; true when it did.
bool CompactIfWasteful(SlotFile& slots, HeapFile& heap, std::span<BlobRecord* const> records);
bool CompactIfWasteful(SlotFile& slots, std::span<SlotRecord* const> records);

}  // namespace pelrion::store
