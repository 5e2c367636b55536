#include "store/contact.h"

#include <algorithm>
#include <vector>

#include "store/byte_reader.h"
#include "store/byte_writer.h"

namespace pelrion::store {

std::string Contact::Entry() const {
  ByteWriter out;
  out.U32(id);
  out.U32(blob_size);
  out.U32(blob_offset);
  out.U32(list_mask);
  return out.Take();
}

bool DecodeContactEntry(std::string_view entry, Contact& contact) {
  if (entry.size() != kContactEntrySize) return false;
  ByteReader in(entry);
  contact.id = in.U32();
  contact.blob_size = in.U32();
  contact.blob_offset = in.U32();
  contact.list_mask = in.U32();
  return in.ok();
}

SlotLayout ContactSlotLayout() {
  SlotLayout layout;
  layout.entry_size = kContactEntrySize;
  layout.is_free = [](std::string_view entry) { return U32At(entry, 4).value_or(0) == 0; };
  layout.id_of = [](std::string_view entry) { return U32At(entry, 0).value_or(0); };
  layout.item_of = [](std::string_view entry) {
    return HeapItem{U32At(entry, 8).value_or(0), U32At(entry, 4).value_or(0)};
  };
  return layout;
}

ContactInspection InspectContactSlot(std::string_view slot, std::string_view db4_bytes) {
  ContactInspection out;
  if (slot.size() != kContactSlotSize) {
    out.verdict = SlotVerdict::kBadDigest;
    return out;
  }
  const HeapView heap{HeapHeader::kDigest, db4_bytes.size(),
                      [db4_bytes](std::uint64_t offset, std::size_t size) {
                        if (offset > db4_bytes.size() || db4_bytes.size() - offset < size) {
                          return std::optional<std::string_view>();
                        }
                        return std::optional<std::string_view>(db4_bytes.substr(offset, size));
                      }};
  Contact contact;
  DecodeContactEntry(slot.substr(16), contact);
  out.id = contact.id;
  out.blob_size = contact.blob_size;
  out.blob_offset = contact.blob_offset;
  out.list_mask = contact.list_mask;
  std::string blob;
  out.verdict = CheckSlot(slot, ContactSlotLayout(), &heap, &blob);
  if (out.verdict != SlotVerdict::kValid) return out;
  if (auto parsed = ParseListBlob(blob)) {
    out.blob_ok = true;
    out.blob = std::move(*parsed);
  }
  // A contact repeating an address of its own is dropped at load like any shared address.
  std::vector<std::string> sorted = out.blob.addresses;
  std::sort(sorted.begin(), sorted.end());
  const bool repeats = std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
  out.passes = out.blob_ok && out.id != 0 && !repeats;
  return out;
}

}  // namespace pelrion::store
