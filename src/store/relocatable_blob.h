// Relocatable blobs (message summaries, contact blobs): a blob starts with its own total
// size (u32) and refers to its parts by byte offsets from its start. BlobView reads such
// references without ever reading outside the blob; BlobBuilder lays one out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelrion::store {

class BlobView {
 public:
  explicit BlobView(std::string_view bytes) : bytes_(bytes) {}

  // True when the blob's first word equals its length.
  bool SizeMatches() const;

  // The u32 at byte offset, nullopt when it does not lie inside the blob.
  std::optional<std::uint32_t> Word(std::size_t offset) const;

  // The zero-terminated string starting at offset; nullopt when offset is outside the blob
  // or no terminator follows inside it.
  std::optional<std::string_view> StringAt(std::uint32_t offset) const;

  // The string whose offset is stored in the word at ref_offset.
  std::optional<std::string_view> StringRef(std::size_t ref_offset) const;

  // count u32 words starting at offset, nullopt when they pass the end.
  std::optional<std::string_view> WordArray(std::uint32_t offset, std::uint32_t count) const;

  std::string_view bytes() const { return bytes_; }

 private:
  std::string_view bytes_;
};

class BlobBuilder {
 public:
  // Starts a blob with a zeroed fixed part of fixed_size bytes (at least 4 for the size word).
  explicit BlobBuilder(std::size_t fixed_size);

  // Writes value into the word at offset inside the bytes laid out so far.
  void SetWord(std::size_t offset, std::uint32_t value);
  // Appends text and a zero terminator; returns the offset it starts at.
  std::uint32_t AppendString(std::string_view text);
  // Appends a u32; returns its offset.
  std::uint32_t AppendWord(std::uint32_t value);
  // Appends text, a terminator, and stores its offset in the word at ref_offset.
  void AppendStringRef(std::size_t ref_offset, std::string_view text);

  std::size_t size() const { return bytes_.size(); }

  // Adds the padding (unpadded length modulo 8 zero bytes, the stored format's rule, not
  // alignment), writes the total size into word 0 and returns the blob.
  std::string Finish() &&;

 private:
  std::string bytes_;
};

}  // namespace pelrion::store
