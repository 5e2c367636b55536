// Builds a fixed stored layout field by field, little-endian, without struct dumps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelrion::store {

class ByteWriter {
 public:
  // Appends a 32-bit value, least significant byte first.
  void U32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
  void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
  void U8(std::uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
  // Appends the bytes exactly as given.
  void Bytes(std::string_view bytes) { bytes_.append(bytes); }
  // Appends a text[size] field: the text cut to size - 1 bytes, a zero terminator, zero fill.
  void Text(std::string_view text, std::size_t size) {
    if (size == 0) return;
    if (text.size() > size - 1) text = text.substr(0, size - 1);
    bytes_.append(text);
    bytes_.append(size - text.size(), '\0');
  }
  // Appends count zero bytes.
  void Zeros(std::size_t count) { bytes_.append(count, '\0'); }

  std::size_t size() const { return bytes_.size(); }
  const std::string& bytes() const { return bytes_; }
  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// Overwrites 4 bytes at offset with value, little-endian; the caller keeps offset + 4 <= size.
inline void PutU32At(std::string& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace pelrion::store
