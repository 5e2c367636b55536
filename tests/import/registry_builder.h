// Profile registry files built byte by byte: a header, then each name and descriptor
// appended where the next free byte is, linked as the format links them. Fields can be
// overwritten afterwards to plant faults.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "import/registry_layout.h"

namespace pelrion::importtest {

class RegistryBuilder {
 public:
  // Descriptor field offsets.
  static constexpr std::uint32_t kLocation = 0, kNameOffset = 4, kNameLength = 8, kType = 10,
                                 kNext = 12, kFirstSubkey = 16, kFirstEntry = 20, kValueLength = 24,
                                 kParent = 28;

  explicit RegistryBuilder(std::uint16_t minor_version = 2) {
    bytes_.assign(import::kRegistryHeaderSize, '\0');
    Put32(0, import::kRegistryMagic);
    Put16(4, 1);
    Put16(6, minor_version);
    root_ = Descriptor("/", 0, 0);
    Put32(12, root_);
  }

  std::uint32_t root() const { return root_; }

  // A key named name, the last subkey of parent.
  std::uint32_t AddKey(std::uint32_t parent, std::string_view name) {
    const std::uint32_t key = Descriptor(name, 0, parent);
    Link(parent + kFirstSubkey, key);
    return key;
  }

  // An entry of key, its value stored before its descriptor.
  std::uint32_t AddEntry(std::uint32_t key, std::string_view name, std::uint16_t type,
                         std::string_view value) {
    const auto value_offset = static_cast<std::uint32_t>(bytes_.size());
    bytes_.append(value);
    const std::uint32_t entry = Descriptor(name, type, key);
    Put32(entry + kFirstEntry, value_offset);
    Put32(entry + kValueLength, static_cast<std::uint32_t>(value.size()));
    Link(key + kFirstEntry, entry);
    return entry;
  }

  // A string entry: the text and its terminating zero.
  std::uint32_t AddString(std::uint32_t key, std::string_view name, std::string_view text) {
    return AddEntry(key, name, import::kTypeEntryString, std::string(text) + '\0');
  }

  void Put16(std::uint32_t at, std::uint16_t value) {
    bytes_[at] = static_cast<char>(value & 0xFF);
    bytes_[at + 1] = static_cast<char>(value >> 8);
  }
  void Put32(std::uint32_t at, std::uint32_t value) {
    Put16(at, static_cast<std::uint16_t>(value & 0xFFFF));
    Put16(at + 2, static_cast<std::uint16_t>(value >> 16));
  }
  std::uint32_t Get32(std::uint32_t at) const {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes_[at + i]);
    return value;
  }

  // The file's bytes; the header's end of the used area is the length unless set otherwise.
  std::string bytes() const {
    std::string out = bytes_;
    if (!keep_used_end_) {
      RegistryBuilder copy = *this;
      copy.Put32(8, static_cast<std::uint32_t>(out.size()));
      out = copy.bytes_;
    }
    return out;
  }
  // Writes a stale end of the used area, as a writer that stopped halfway leaves it.
  void SetUsedEnd(std::uint32_t value) {
    Put32(8, value);
    keep_used_end_ = true;
  }

 private:
  std::uint32_t Descriptor(std::string_view name, std::uint16_t type, std::uint32_t parent) {
    const auto name_offset = static_cast<std::uint32_t>(bytes_.size());
    bytes_.append(name);
    bytes_.push_back('\0');
    const auto at = static_cast<std::uint32_t>(bytes_.size());
    bytes_.append(import::kRegistryDescriptorSize, '\0');
    Put32(at + kLocation, at);
    Put32(at + kNameOffset, name_offset);
    Put16(at + kNameLength, static_cast<std::uint16_t>(name.size() + 1));
    Put16(at + kType, type);
    Put32(at + kParent, parent);
    return at;
  }

  // Appends item to the chain whose first link is the field at `head`.
  void Link(std::uint32_t head, std::uint32_t item) {
    std::uint32_t field = head;
    while (Get32(field) != 0) field = Get32(field) + kNext;
    Put32(field, item);
  }

  std::string bytes_;
  std::uint32_t root_ = 0;
  bool keep_used_end_ = false;
};

}  // namespace pelrion::importtest
