// HeapFile: [header][blob] items appended at the end offset, never written in place. A changed
// blob is appended again; the old copy is dead space until compaction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/slot_record.h"

namespace pelrion::store {

// The two heap header layouts.
enum class HeapHeader {
  kIdAndDigest,  // 20 bytes: the owning entry's id (u32), then the blob's MD5 (message store)
  kDigest,       // 16 bytes: the blob's MD5 (address lists)
};

std::size_t HeapHeaderSize(HeapHeader header);

// Largest offset + header + size an item may reach (offsets are signed 32-bit in the entries).
inline constexpr std::uint64_t kHeapLimit = 0x7FFFFFFF;

class HeapFile {
 public:
  HeapFile(std::string path, HeapHeader header) : path_(std::move(path)), header_(header) {}

  const std::string& path() const { return path_; }
  HeapHeader header() const { return header_; }
  std::size_t header_size() const { return HeapHeaderSize(header_); }

  std::uint64_t end_offset() const { return end_offset_; }
  void set_end_offset(std::uint64_t offset) { end_offset_ = offset; }

  // Appends the record's blob at the end offset and tells the record where it went
  // (offset = end offset, size = blob size). Passing 2^31 - 1 is a database error, and so is
  // a missing file when the end offset is above 0 (it is created only while empty).
  void AppendBlob(BlobRecord& record);
  HeapItem AppendBlob(std::string_view blob, std::uint32_t id);

  // Truncates the file to length 0 and resets the end offset.
  void Truncate();

  // The header bytes stored in front of blob.
  std::string EncodeHeader(std::string_view blob, std::uint32_t id) const;

 private:
  std::string path_;
  HeapHeader header_;
  std::uint64_t end_offset_ = 0;
};

}  // namespace pelrion::store
