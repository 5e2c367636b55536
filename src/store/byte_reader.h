// Reads little-endian fields out of stored bytes. Every read is bounds-checked: a field that
// does not lie wholly inside the bytes reads as zero / empty and marks the reader as failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pelrion::store {

// The 32-bit little-endian value at offset, or nullopt when offset + 4 passes the end.
inline std::optional<std::uint32_t> U32At(std::string_view bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 4) return std::nullopt;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

// Sequential reader of a fixed layout. ok() stays true while every field was complete.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  std::uint32_t U32() {
    auto value = U32At(bytes_, pos_);
    if (!value) {
      Fail();
      return 0;
    }
    pos_ += 4;
    return *value;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
  std::uint8_t U8() {
    if (pos_ >= bytes_.size()) {
      Fail();
      return 0;
    }
    return static_cast<std::uint8_t>(bytes_[pos_++]);
  }
  // The next size bytes as they are.
  std::string_view Bytes(std::size_t size) {
    if (bytes_.size() - pos_ < size) {
      Fail();
      return {};
    }
    std::string_view out = bytes_.substr(pos_, size);
    pos_ += size;
    return out;
  }
  // A text[size] field: the bytes before the first zero (all size bytes when there is none).
  std::string_view Text(std::size_t size) {
    std::string_view field = Bytes(size);
    return field.substr(0, field.find('\0'));
  }

  bool ok() const { return ok_; }
  std::size_t position() const { return pos_; }

 private:
  void Fail() {
    ok_ = false;
    pos_ = bytes_.size();
  }

  std::string_view bytes_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

}  // namespace pelrion::store
