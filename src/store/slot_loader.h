// Loading a slot file (with or without its heap) at start-up: every slot that fails a test
// is freed on disk at once and its record discarded; no message is shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "store/heap_file.h"
#include "store/slot_file.h"
#include "store/slot_scan.h"

namespace pelrion::store {

struct SlotLoadResult {
  std::vector<ScannedSlot> kept;  // accepted slots in file order, with their blobs
  std::size_t freed = 0;          // slots freed on disk by this load
};

// The owner's acceptance rule, applied after the mechanical tests; it may take what it needs
// from the slot (it is not used again when rejected). false frees the slot.
using SlotAcceptor = std::function<bool(ScannedSlot& slot)>;

// Whether accepted slots are also collected in SlotLoadResult::kept. A table that builds its
// records in the acceptor says kNo, so the load holds no second copy of every blob.
enum class KeepSlots { kYes, kNo };

// Loads slots with their heap (heap may be null for a slot-only file). Sets the slot file's
// end offset to slots read * slot size and the heap's end offset to the heap length L.
// Both files are created empty when missing. Dies on any file error.
SlotLoadResult LoadSlotFile(SlotFile& slots, HeapFile* heap, const SlotLayout& layout,
                            const SlotAcceptor& accept, KeepSlots keep = KeepSlots::kYes);

}  // namespace pelrion::store
