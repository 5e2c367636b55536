#include "store/slot_file.h"

#include <cassert>

#include "store/record_digest.h"
#include "store/store_file.h"

namespace pelrion::store {

std::string SlotFile::EncodeSlot(std::string_view entry) const {
  assert(entry.size() == entry_size_);
  std::string fitted(entry.substr(0, entry_size_));
  fitted.resize(entry_size_, '\0');
  return WithDigest(fitted);
}

void SlotFile::WriteSlot(SlotRecord& record, bool allocate) {
  if (allocate) {
    record.set_slot_offset(end_offset_);
    end_offset_ += slot_size();
  }
  const std::string slot = EncodeSlot(record.Entry());
  StoreFile file = OpenForWrite(path_);
  WriteAtOrDie(file, record.slot_offset(), slot);
}

void SlotFile::FreeSlotAt(std::uint64_t slot_offset) {
  StoreFile file = OpenForWrite(path_);
  WriteAtOrDie(file, slot_offset, std::string(slot_size(), '\0'));
}

void SlotFile::Truncate() {
  StoreFile file = OpenForWrite(path_);
  SetLengthOrDie(file, 0);
  end_offset_ = 0;
}

}  // namespace pelrion::store
