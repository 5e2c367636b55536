#include "store/slot_loader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "store/store_file.h"

namespace pelrion::store {
namespace {

// Reads a heap through a window of the file: blobs are appended in slot order, so most
// items lie in the window already read and a load reads the heap in large sequential
// pieces instead of one system call and one allocation per item.
class HeapWindow {
 public:
  HeapWindow(const StoreFile& file, std::uint64_t length) : file_(file), length_(length) {}

  // size bytes at offset (inside the remembered length, which the caller has checked),
  // valid until the next call; nullopt on a file error or a short read.
  std::optional<std::string_view> Read(std::uint64_t offset, std::size_t size) {
    if (offset < start_ || offset + size > start_ + buffer_.size()) {
      if (!Fill(offset, size)) return std::nullopt;
    }
    return std::string_view(buffer_).substr(offset - start_, size);
  }

 private:
  static constexpr std::size_t kWindow = std::size_t{1} << 20;

  bool Fill(std::uint64_t offset, std::size_t size) {
    const std::uint64_t left = length_ > offset ? length_ - offset : 0;
    const std::size_t want = static_cast<std::size_t>(
        std::max<std::uint64_t>(size, std::min<std::uint64_t>(kWindow, left)));
    buffer_.resize(want);
    const auto got = file_.ReadAt(offset, buffer_.data(), want);
    start_ = offset;
    buffer_.resize(got ? *got : 0);
    return got && *got >= size;
  }

  const StoreFile& file_;
  std::uint64_t length_;
  std::uint64_t start_ = 0;
  std::string buffer_;
};

}  // namespace

SlotLoadResult LoadSlotFile(SlotFile& slots, HeapFile* heap, const SlotLayout& layout,
                            const SlotAcceptor& accept, KeepSlots keep) {
  SlotLoadResult result;
  std::optional<StoreFile> heap_file;
  std::optional<HeapWindow> window;
  std::optional<HeapView> heap_view;
  if (heap != nullptr) {
    heap_file.emplace(OpenForLoad(heap->path(), FileKind::kHeapFile));
    const std::uint64_t length = LengthOrDie(*heap_file);
    window.emplace(*heap_file, length);
    HeapWindow* reader = &*window;
    heap_view = HeapView{heap->header(), length, [reader](std::uint64_t offset, std::size_t size) {
                           return reader->Read(offset, size);
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
          if (keep == KeepSlots::kYes) result.kept.push_back(std::move(slot));
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
