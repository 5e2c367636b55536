// The binary profile registry of the Mozilla family of mail programs ("Registry.dat",
// "nsreg.dat", and on Linux "~/.mozilla/appreg"): its result codes, its 16-byte header and
// its 32-byte descriptors. Numbers are little-endian; every reference is an absolute byte
// offset from the start of the file, 0 meaning none.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelrion::import {

// The codes every registry operation answers with; the values are those the format's own
// programs use, so a code seen in a report means the same thing everywhere.
enum class RegistryCode : int {
  kOk = 0,
  kFailure = 1,      // also: a sibling chain that loops back on itself
  kNoMoreItems = 2,  // enumeration ended
  kNotFound = 3,
  kShortRead = 4,
  kBadLocation = 5,  // a descriptor whose location field is not where it was read
  kBadArgument = 6,
  kBadMagic = 7,  // not a registry file, or not an open handle
  kFileNotFound = 9,
  kOutOfMemory = 10,
  kBufferTooSmall = 11,
  kNameTooLong = 12,
  kBadVersion = 13,
  kDeleted = 14,
  kBadName = 17,
  kReadOnly = 18,
};

inline constexpr std::uint32_t kRegistryMagic = 0x76644441;
inline constexpr std::uint16_t kRegistryMajorVersion = 1;
// Files below this minor version name their standard keys "ROOTKEY_...".
inline constexpr std::uint16_t kRegistryMinorVersion = 2;
inline constexpr std::size_t kRegistryHeaderSize = 16;
inline constexpr std::size_t kRegistryDescriptorSize = 32;

// Descriptor type bits.
inline constexpr std::uint16_t kTypeEntry = 0x10;
inline constexpr std::uint16_t kTypeDeleted = 0x80;
inline constexpr std::uint16_t kTypeEntryString = 0x11;
inline constexpr std::uint16_t kTypeEntryInt32Array = 0x12;

struct RegistryHeader {
  std::uint32_t magic = 0;
  std::uint16_t major_version = 0;
  std::uint16_t minor_version = 0;
  std::uint32_t used_end = 0;  // where new data would be appended
  std::uint32_t root = 0;      // the root key's descriptor
};

struct RegistryDescriptor {
  std::uint32_t location = 0;  // its own offset
  std::uint32_t name_offset = 0;
  std::uint16_t name_length = 0;  // terminating zero included
  std::uint16_t type = 0;
  std::uint32_t next_sibling = 0;
  std::uint32_t first_subkey = 0;  // keys
  std::uint32_t first_entry = 0;   // keys; for an entry, the offset of its value
  std::uint32_t value_length = 0;  // entries
  std::uint32_t parent = 0;

  std::uint32_t value_offset() const { return first_entry; }
  bool deleted() const { return (type & kTypeDeleted) != 0; }
};

// nullopt unless bytes holds exactly kRegistryHeaderSize / kRegistryDescriptorSize bytes.
std::optional<RegistryHeader> DecodeRegistryHeader(std::string_view bytes);
std::optional<RegistryDescriptor> DecodeRegistryDescriptor(std::string_view bytes);

}  // namespace pelrion::import
