#include "store/slot_scan.h"

#include "store/byte_reader.h"
#include "store/record_digest.h"

namespace pelrion::store {

SlotVerdict CheckSlot(std::string_view slot, const SlotLayout& layout, const HeapView* heap,
                      std::string* blob) {
  std::string_view digest = slot.substr(0, kDigestSize);
  std::string_view entry = slot.substr(kDigestSize, layout.entry_size);
  if (layout.is_free && layout.is_free(entry)) return SlotVerdict::kFree;
  if (!DigestMatches(digest, entry)) return SlotVerdict::kBadDigest;
  if (heap == nullptr) return SlotVerdict::kValid;

  const HeapItem item = layout.item_of(entry);
  const std::size_t header_size = HeapHeaderSize(heap->header);
  // 64-bit sums: 32-bit offset + size must not wrap past the bounds test.
  if (std::uint64_t{item.offset} + header_size + item.size > heap->length) {
    return SlotVerdict::kOutsideHeap;
  }
  auto bytes = heap->read(item.offset, header_size + item.size);
  if (!bytes || bytes->size() != header_size + item.size) return SlotVerdict::kHeapReadError;
  std::string_view header = bytes->substr(0, header_size);
  std::string_view body = bytes->substr(header_size);
  if (heap->header == HeapHeader::kIdAndDigest) {
    const std::uint32_t id = layout.id_of ? layout.id_of(entry) : U32At(entry, 0).value_or(0);
    if (U32At(header, 0) != id) return SlotVerdict::kBadHeapHeader;
    header.remove_prefix(4);
  }
  if (!DigestMatches(header, body)) return SlotVerdict::kBadBlobDigest;
  if (blob != nullptr) blob->assign(body);
  return SlotVerdict::kValid;
}

std::size_t ScanSlots(std::string_view slot_bytes, const SlotLayout& layout, const HeapView* heap,
                      const std::function<void(ScannedSlot&, SlotVerdict)>& visit) {
  const std::size_t slot_size = kDigestSize + layout.entry_size;
  std::size_t count = 0;
  ScannedSlot scanned;
  for (std::size_t pos = 0; slot_bytes.size() - pos >= slot_size; pos += slot_size, ++count) {
    std::string_view slot = slot_bytes.substr(pos, slot_size);
    scanned.slot_offset = pos;
    scanned.blob.clear();
    const SlotVerdict verdict = CheckSlot(slot, layout, heap, &scanned.blob);
    scanned.entry.assign(slot.substr(kDigestSize));
    visit(scanned, verdict);
  }
  return count;
}

}  // namespace pelrion::store
