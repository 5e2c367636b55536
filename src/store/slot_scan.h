// The checks every slot of a slot file passes at load, without touching any file: the
// loader frees what fails, the read-only check tool counts it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "store/heap_file.h"
#include "store/slot_record.h"

namespace pelrion::store {

// How a table's entries look to the mechanics.
struct SlotLayout {
  std::size_t entry_size = 0;
  // True for an entry that marks its slot free (skipped, stays free).
  std::function<bool(std::string_view entry)> is_free;
  // The id compared with an id-carrying heap header.
  std::function<std::uint32_t(std::string_view entry)> id_of;
  // Where the entry's blob lies in the heap (unused without a heap).
  std::function<HeapItem(std::string_view entry)> item_of;
};

// Reads size bytes of the heap at offset; nullopt on a file error (a short read inside the
// remembered length is one too: the file changed under us). The bytes stay valid until the
// next read, so a reader may hand out a view of its own buffer instead of a copy.
using HeapReader =
    std::function<std::optional<std::string_view>(std::uint64_t offset, std::size_t size)>;

// The heap side of a pair, as seen at load.
struct HeapView {
  HeapHeader header;
  std::uint64_t length = 0;  // L, remembered when the load began
  HeapReader read;
};

enum class SlotVerdict {
  kFree,           // free slot, skipped
  kValid,          // passed every mechanical test (acceptance is the owner's)
  kBadDigest,      // entry digest differs
  kOutsideHeap,    // offset + header + size passes L
  kBadHeapHeader,  // header id differs from the entry's id
  kBadBlobDigest,  // header digest differs from the blob's MD5
  kHeapReadError,  // the heap could not be read
};

struct ScannedSlot {
  std::uint64_t slot_offset = 0;
  std::string entry;
  std::string blob;  // empty without a heap
};

// Checks one complete slot (16 + entry_size bytes). With heap, fills *blob for a valid slot.
SlotVerdict CheckSlot(std::string_view slot, const SlotLayout& layout, const HeapView* heap,
                      std::string* blob);

// Walks every complete slot of slot_bytes in order and calls visit with the slot and its
// verdict. Returns the number of complete slots read. The one ScannedSlot passed to visit is
// reused for the next slot (its buffers keep their capacity): visit moves out what it keeps.
std::size_t ScanSlots(std::string_view slot_bytes, const SlotLayout& layout, const HeapView* heap,
                      const std::function<void(ScannedSlot&, SlotVerdict)>& visit);

}  // namespace pelrion::store
