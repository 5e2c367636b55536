#include "store/slot_loader.h"

#include <optional>
#include <string>

#include "store/store_file.h"

namespace pelrion::store {

SlotLoadResult LoadSlotFile(SlotFile& slots, HeapFile* heap, const SlotLayout& layout,
                            const SlotAcceptor& accept) {
  SlotLoadResult result;
  std::optional<StoreFile> heap_file;
  std::optional<HeapView> heap_view;
  if (heap != nullptr) {
    heap_file.emplace(OpenForLoad(heap->path(), FileKind::kHeapFile));
    const StoreFile* reader = &*heap_file;
    heap_view = HeapView{heap->header(), LengthOrDie(*heap_file),
                         [reader](std::uint64_t offset, std::size_t size) {
                           std::string bytes(size, '\0');
                           auto got = reader->ReadAt(offset, bytes.data(), size);
                           if (!got || *got != size) return std::optional<std::string>();
                           return std::optional<std::string>(std::move(bytes));
                         }};
  }

  StoreFile slot_file = OpenForLoad(slots.path(), FileKind::kSlotFile);
  const std::string slot_bytes = ReadAllOrDie(slot_file);
  const std::string zero_slot(slots.slot_size(), '\0');
  SlotLayout sized = layout;
  sized.entry_size = slots.entry_size();  // the file's own slot size is the one that counts
  const std::size_t count = ScanSlots(
      slot_bytes, sized, heap_view ? &*heap_view : nullptr,
      [&](ScannedSlot& slot, SlotVerdict verdict) {
        if (verdict == SlotVerdict::kFree) return;
        if (verdict == SlotVerdict::kHeapReadError) DatabaseError();
        if (verdict == SlotVerdict::kValid && (!accept || accept(slot))) {
          result.kept.push_back(std::move(slot));
          return;
        }
        WriteAtOrDie(slot_file, slot.slot_offset, zero_slot);
        ++result.freed;
      });

  slots.set_end_offset(static_cast<std::uint64_t>(count) * slots.slot_size());
  if (heap != nullptr) heap->set_end_offset(heap_view->length);
  return result;
}

}  // namespace pelrion::store
