#include "store/slot_loader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "store/record_digest.h"
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

// Below this many slots a second thread costs more than it saves.
constexpr std::size_t kSlotsWorthASecondThread = 8192;

// The checks of a run of slots (digests, heap reads), made on a helper thread while the
// calling thread checks and takes the slots before them: the digests are most of a load's
// work, and a machine has more than one core. Only files are read here; every table change
// stays with the calling thread, which visits these slots afterwards in their order.
class SlotsCheckedAhead {
 public:
  // slots: whole slots starting at byte `first_offset` of the slot file.
  SlotsCheckedAhead(std::string_view slots, std::uint64_t first_offset, const SlotLayout& layout,
                    const StoreFile* heap_file, const HeapView* heap)
      : slots_(slots), first_offset_(first_offset), layout_(layout) {
    if (heap != nullptr) {
      window_.emplace(*heap_file, heap->length);
      HeapWindow* reader = &*window_;
      heap_.emplace(HeapView{heap->header, heap->length,
                             [reader](std::uint64_t offset, std::size_t size) {
                               return reader->Read(offset, size);
                             }});
    }
  }
  SlotsCheckedAhead(const SlotsCheckedAhead&) = delete;
  SlotsCheckedAhead& operator=(const SlotsCheckedAhead&) = delete;
  ~SlotsCheckedAhead() { Join(); }

  // False when no thread could be started: the caller then checks these slots itself.
  bool Start() {
    try {
      thread_ = std::thread([this] { CheckAll(); });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  // Waits for the checks, then hands each slot to visit in order, reading each valid slot's
  // blob again through heap (the calling thread's view): keeping every checked blob until
  // then would cost as much memory as the half of the heap.
  void VisitAll(const HeapView* heap,
                const std::function<void(ScannedSlot&, SlotVerdict)>& visit) {
    Join();
    const std::size_t slot_size = kDigestSize + layout_.entry_size;
    ScannedSlot scanned;
    for (std::size_t i = 0; i < verdicts_.size(); ++i) {
      scanned.slot_offset = first_offset_ + i * slot_size;
      scanned.entry.assign(slots_.substr(i * slot_size + kDigestSize, layout_.entry_size));
      scanned.blob.clear();
      SlotVerdict verdict = verdicts_[i];
      if (verdict == SlotVerdict::kValid && heap != nullptr && !ReadBlob(*heap, scanned)) {
        verdict = SlotVerdict::kHeapReadError;
      }
      visit(scanned, verdict);
    }
  }

 private:
  void CheckAll() {
    const std::size_t slot_size = kDigestSize + layout_.entry_size;
    const std::size_t count = slots_.size() / slot_size;
    verdicts_.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      verdicts_[i] = CheckSlot(slots_.substr(i * slot_size, slot_size), layout_,
                               heap_ ? &*heap_ : nullptr, nullptr);
    }
  }

  // The blob of a slot whose checks passed: what follows its heap header.
  bool ReadBlob(const HeapView& heap, ScannedSlot& scanned) const {
    const HeapItem item = layout_.item_of(scanned.entry);
    const std::size_t header_size = HeapHeaderSize(heap.header);
    const auto bytes = heap.read(item.offset, header_size + item.size);
    if (!bytes || bytes->size() != header_size + item.size) return false;
    scanned.blob.assign(bytes->substr(header_size));
    return true;
  }

  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  std::string_view slots_;
  std::uint64_t first_offset_;
  const SlotLayout& layout_;
  std::optional<HeapWindow> window_;
  std::optional<HeapView> heap_;
  std::vector<SlotVerdict> verdicts_;
  std::thread thread_;
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
  const auto visit = [&](ScannedSlot& slot, SlotVerdict verdict) {
    if (verdict == SlotVerdict::kFree) return;
    if (verdict == SlotVerdict::kHeapReadError) DatabaseError();
    if (verdict == SlotVerdict::kValid && (!accept || accept(slot))) {
      if (keep == KeepSlots::kYes) result.kept.push_back(std::move(slot));
      return;
    }
    WriteAtOrDie(slot_file, slot.slot_offset, zero_slot);
    ++result.freed;
  };

  // A large file: the later half of its slots is checked on a second thread meanwhile.
  const std::size_t slot_size = slots.slot_size();
  const std::size_t count = slot_bytes.size() / slot_size;
  const std::string_view all(slot_bytes);
  std::size_t here = count;
  std::optional<SlotsCheckedAhead> ahead;
  if (count >= kSlotsWorthASecondThread) {
    here = count / 2;
    ahead.emplace(all.substr(here * slot_size, (count - here) * slot_size), here * slot_size,
                  sized, heap_file ? &*heap_file : nullptr, heap_view ? &*heap_view : nullptr);
    if (!ahead->Start()) {
      ahead.reset();
      here = count;
    }
  }
  ScanSlots(all.substr(0, here * slot_size), sized, heap_view ? &*heap_view : nullptr, visit);
  if (ahead) ahead->VisitAll(heap_view ? &*heap_view : nullptr, visit);

  slots.set_end_offset(static_cast<std::uint64_t>(count) * slots.slot_size());
  if (heap != nullptr) heap->set_end_offset(heap_view->length);
  return result;
}

}  // namespace pelrion::store
