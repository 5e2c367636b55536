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

// An acceptor the load may call from two threads at once, for a large file: from the calling
// thread for the slots of the file's first half (part 0) and from a second thread for the
// later half (part 1). Calls for one part come from one thread, in file order. It may touch
// only its part's own state and data that nothing changes during the load (so it decides
// from the slot alone), never the table: the table takes what the parts made once the load
// has returned, part 0 first. Used where decoding the records is a large share of the work.
using SlotPartAcceptor = std::function<bool(ScannedSlot& slot, int part)>;

// Loads slots with their heap (heap may be null for a slot-only file). Sets the slot file's
// end offset to slots read * slot size and the heap's end offset to the heap length L.
// Both files are created empty when missing. Dies on any file error.
SlotLoadResult LoadSlotFile(SlotFile& slots, HeapFile* heap, const SlotLayout& layout,
                            const SlotAcceptor& accept, KeepSlots keep = KeepSlots::kYes);

// The same load, with an acceptor that shares the work with the second thread; no slots are
// kept in the result (the acceptor takes what it needs).
SlotLoadResult LoadSlotFileInParts(SlotFile& slots, HeapFile* heap, const SlotLayout& layout,
                                   const SlotPartAcceptor& accept);

}  // namespace pelrion::store
