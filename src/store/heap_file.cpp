#include "store/heap_file.h"

#include "store/byte_writer.h"
#include "store/record_digest.h"
#include "store/store_file.h"

namespace pelrion::store {

std::size_t HeapHeaderSize(HeapHeader header) {
  return header == HeapHeader::kIdAndDigest ? 4 + kDigestSize : kDigestSize;
}

std::string HeapFile::EncodeHeader(std::string_view blob, std::uint32_t id) const {
  ByteWriter out;
  if (header_ == HeapHeader::kIdAndDigest) out.U32(id);
  out.Bytes(RecordDigest(blob));
  return out.Take();
}

HeapItem HeapFile::AppendBlob(std::string_view blob, std::uint32_t id) {
  const std::uint64_t offset = end_offset_;
  if (offset + header_size() + blob.size() > kHeapLimit) DatabaseError();
  std::string item = EncodeHeader(blob, id);
  item.append(blob);
  // The slots point at the blobs stored so far: a heap file that vanished while in use must
  // not come back empty under them (the next load would drop every one of those slots, and
  // nothing would be left for a restored backup to match). Only an empty heap is created.
  StoreFile file = offset == 0 ? OpenForWrite(path_) : OpenExistingForWrite(path_);
  WriteAtOrDie(file, offset, item);
  end_offset_ = offset + item.size();
  return HeapItem{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(blob.size())};
}

void HeapFile::AppendBlob(BlobRecord& record) {
  record.SetHeapItem(AppendBlob(record.Blob(), record.HeapId()));
}

void HeapFile::Truncate() {
  StoreFile file = OpenForWrite(path_);
  SetLengthOrDie(file, 0);
  end_offset_ = 0;
}

}  // namespace pelrion::store
