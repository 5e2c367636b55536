// Contact: one member of an address list. Its 16-byte entry fills a 32-byte slot of
// "db3.dat" (16-byte MD5, then the entry): four little-endian words in this order: id,
// blob size, blob offset (of the item in "db4.dat"), list mask. A free slot has an all-zero
// entry; on loading a slot is free when its blob size is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/database_files.h"
#include "store/list_blob.h"
#include "store/slot_record.h"
#include "store/slot_scan.h"

namespace pelrion::store {

inline constexpr std::size_t kContactSlotSize = 16 + kContactEntrySize;
// db4 item header: the MD5 of the blob.
inline constexpr std::size_t kListBlobHeaderSize = 16;

// The list mask bit of a list index: 0x1 Trusted Contacts, 0x2 Black List.
constexpr std::uint32_t ListBit(int list_index) { return 1u << list_index; }

// Records are held by pointer (the table, the index, the window); never copied.
struct Contact : BlobRecord {
  Contact() = default;
  Contact(const Contact&) = delete;
  Contact& operator=(const Contact&) = delete;

  // Stored fields.
  std::uint32_t id = 0;
  std::uint32_t blob_size = 0;
  std::uint32_t blob_offset = 0;
  std::uint32_t list_mask = 0;  // the list bit; the high 16 bits are carried along as read

  // In memory only (the slot offset is kept by the SlotRecord base).
  ListBlob blob;
  bool view_flag = false;  // rows the address-list window must redraw

  // BlobRecord: the 16 entry bytes, the blob, and where AppendBlob put it.
  std::string Entry() const override;
  std::uint32_t HeapId() const override { return id; }
  std::string Blob() const override { return EncodeListBlob(blob); }
  void SetHeapItem(HeapItem item) override {
    blob_offset = item.offset;
    blob_size = item.size;
  }
};

// The four stored fields of a 16-byte entry; false (contact untouched) for any other size.
bool DecodeContactEntry(std::string_view entry, Contact& contact);

// How "db3.dat" entries look to the slot mechanics (free when the blob size is 0).
SlotLayout ContactSlotLayout();

// One "db3.dat" slot as the dump and check tool sees it (no file is touched).
struct ContactInspection {
  SlotVerdict verdict = SlotVerdict::kFree;  // the mechanical tests of the slot and its item
  bool blob_ok = false;   // the ListBlob decodes with every offset inside it
  bool passes = false;    // the slot would be kept by a load (ids and addresses shared with
                          // other slots are the caller's to check across slots)
  std::uint32_t id = 0;
  std::uint32_t blob_size = 0;
  std::uint32_t blob_offset = 0;
  std::uint32_t list_mask = 0;
  ListBlob blob;          // filled when blob_ok
};

// Checks one 32-byte slot against the bytes of "db4.dat". A slot of another size is a
// bad digest.
ContactInspection InspectContactSlot(std::string_view slot, std::string_view db4_bytes);

}  // namespace pelrion::store
