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

// What the calling thread does with each slot once it is checked (and, for a valid one, was
// offered to the acceptor).
using SlotSettler =
    std::function<void(std::uint64_t slot_offset, SlotVerdict verdict, bool taken)>;

// The checks of a run of slots (digests, heap reads), made on a helper thread while the
// calling thread checks and takes the slots before them: the digests are most of a load's
// work, and a machine has more than one core. Only files are read here, and with a part
// acceptor the records of these slots are made here too; every table and file change stays
// with the calling thread, which settles these slots afterwards in their order.
class SlotsCheckedAhead {
 public:
  // slots: whole slots starting at byte `first_offset` of the slot file. accept: when given,
  // offered each valid slot here as part 1; otherwise only the verdicts are made here.
  SlotsCheckedAhead(std::string_view slots, std::uint64_t first_offset, const SlotLayout& layout,
                    const StoreFile* heap_file, const HeapView* heap,
                    const SlotPartAcceptor* accept)
      : slots_(slots), first_offset_(first_offset), layout_(layout), accept_(accept) {
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

  // Without a part acceptor: waits for the checks, then hands each slot to visit in order,
  // reading each valid slot's blob again through heap (the calling thread's view): keeping
  // every checked blob until then would cost as much memory as the half of the heap.
  void VisitAll(const HeapView* heap,
                const std::function<void(ScannedSlot&, SlotVerdict)>& visit) {
    Join();
    ScannedSlot scanned;
    for (std::size_t i = 0; i < verdicts_.size(); ++i) {
      scanned.slot_offset = OffsetOf(i);
      scanned.entry.assign(EntryOf(i));
      scanned.blob.clear();
      SlotVerdict verdict = verdicts_[i];
      if (verdict == SlotVerdict::kValid && heap != nullptr && !ReadBlob(*heap, scanned)) {
        verdict = SlotVerdict::kHeapReadError;
      }
      visit(scanned, verdict);
    }
  }

  // With a part acceptor: waits, then settles each slot with what was decided here.
  void SettleAll(const SlotSettler& settle) {
    Join();
    for (std::size_t i = 0; i < verdicts_.size(); ++i) {
      settle(OffsetOf(i), verdicts_[i], taken_[i] != 0);
    }
  }

 private:
  std::size_t SlotSize() const { return kDigestSize + layout_.entry_size; }
  std::uint64_t OffsetOf(std::size_t i) const { return first_offset_ + i * SlotSize(); }
  std::string_view EntryOf(std::size_t i) const {
    return slots_.substr(i * SlotSize() + kDigestSize, layout_.entry_size);
  }

  void CheckAll() {
    const std::size_t count = slots_.size() / SlotSize();
    verdicts_.resize(count);
    taken_.assign(count, 0);
    ScannedSlot scanned;
    for (std::size_t i = 0; i < count; ++i) {
      scanned.blob.clear();
      verdicts_[i] = CheckSlot(slots_.substr(i * SlotSize(), SlotSize()), layout_,
                               heap_ ? &*heap_ : nullptr, accept_ ? &scanned.blob : nullptr);
      if (accept_ == nullptr || verdicts_[i] != SlotVerdict::kValid) continue;
      scanned.slot_offset = OffsetOf(i);
      scanned.entry.assign(EntryOf(i));
      taken_[i] = (*accept_)(scanned, 1) ? 1 : 0;
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
  const SlotPartAcceptor* accept_;
  std::optional<HeapWindow> window_;
  std::optional<HeapView> heap_;
  std::vector<SlotVerdict> verdicts_;
  std::vector<char> taken_;
  std::thread thread_;
};

// One load; exactly one of accept_one (which may be empty: take every valid slot) and
// accept_parts is given.
SlotLoadResult Load(SlotFile& slots, HeapFile* heap, const SlotLayout& layout,
                    const SlotAcceptor* accept_one, const SlotPartAcceptor* accept_parts,
                    KeepSlots keep) {
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
  const SlotSettler settle = [&](std::uint64_t slot_offset, SlotVerdict verdict, bool taken) {
    if (verdict == SlotVerdict::kFree) return;
    if (verdict == SlotVerdict::kHeapReadError) DatabaseError();
    if (verdict == SlotVerdict::kValid && taken) return;
    WriteAtOrDie(slot_file, slot_offset, zero_slot);
    ++result.freed;
  };
  const auto visit = [&](ScannedSlot& slot, SlotVerdict verdict) {
    const std::uint64_t slot_offset = slot.slot_offset;
    bool taken = false;
    if (verdict == SlotVerdict::kValid) {
      taken = accept_parts != nullptr ? (*accept_parts)(slot, 0)
                                      : (!*accept_one || (*accept_one)(slot));
      if (taken && keep == KeepSlots::kYes) result.kept.push_back(std::move(slot));
    }
    settle(slot_offset, verdict, taken);
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
                  sized, heap_file ? &*heap_file : nullptr, heap_view ? &*heap_view : nullptr,
                  accept_parts);
    if (!ahead->Start()) {
      ahead.reset();
      here = count;
    }
  }
  ScanSlots(all.substr(0, here * slot_size), sized, heap_view ? &*heap_view : nullptr, visit);
  if (ahead && accept_parts != nullptr) ahead->SettleAll(settle);
  if (ahead && accept_parts == nullptr) ahead->VisitAll(heap_view ? &*heap_view : nullptr, visit);

  slots.set_end_offset(static_cast<std::uint64_t>(count) * slots.slot_size());
  if (heap != nullptr) heap->set_end_offset(heap_view->length);
  return result;
}

}  // namespace

SlotLoadResult LoadSlotFile(SlotFile& slots, HeapFile* heap, const SlotLayout& layout,
                            const SlotAcceptor& accept, KeepSlots keep) {
  return Load(slots, heap, layout, &accept, nullptr, keep);
}

SlotLoadResult LoadSlotFileInParts(SlotFile& slots, HeapFile* heap, const SlotLayout& layout,
                                   const SlotPartAcceptor& accept) {
  return Load(slots, heap, layout, nullptr, &accept, KeepSlots::kNo);
}

}  // namespace pelrion::store
