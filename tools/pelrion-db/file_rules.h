// What the tool knows of each database file: its kind, its layout and the acceptance rules
// that can be applied to it. Per-table rules are added here as the tables define them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/heap_file.h"
#include "store/slot_scan.h"

namespace pelrion::dbtool {

enum class FileShape { kSlotPair, kSlotsOnly, kRecordFile, kIdentity };

struct FileRules {
  std::string name;       // "db1.dat"
  FileShape shape = FileShape::kRecordFile;
  std::string heap_name;  // the heap of a slot pair ("db2.dat")
  store::HeapHeader heap_header = store::HeapHeader::kDigest;
  store::SlotLayout layout;  // slot files
  // Slot acceptance beyond the mechanical tests (entry, blob).
  std::function<bool(std::string_view entry, std::string_view blob)> accept_slot;
  // RecordFile: R for a version byte; acceptance of one record.
  std::function<std::size_t(std::uint8_t)> record_size;
  std::function<bool(std::string_view record)> accept_record;
  // RecordFile: the key under which a repeated record is dropped (the id, u32 @0, unless
  // the records are texts).
  bool keyed_by_text = false;
};

// The files checked, in the order they are reported. Heap files appear as the heap of
// their slot file.
const std::vector<FileRules>& AllFileRules();

}  // namespace pelrion::dbtool
