#include "import/registry_layout.h"

namespace pelrion::import {
namespace {

std::uint16_t Word16(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

std::uint32_t Word32(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint32_t>(Word16(bytes, at)) |
         static_cast<std::uint32_t>(Word16(bytes, at + 2)) << 16;
}

}  // namespace

std::optional<RegistryHeader> DecodeRegistryHeader(std::string_view bytes) {
  if (bytes.size() != kRegistryHeaderSize) return std::nullopt;
  return RegistryHeader{Word32(bytes, 0), Word16(bytes, 4), Word16(bytes, 6), Word32(bytes, 8),
                        Word32(bytes, 12)};
}

std::optional<RegistryDescriptor> DecodeRegistryDescriptor(std::string_view bytes) {
  if (bytes.size() != kRegistryDescriptorSize) return std::nullopt;
  return RegistryDescriptor{Word32(bytes, 0),  Word32(bytes, 4),  Word16(bytes, 8),
                            Word16(bytes, 10), Word32(bytes, 12), Word32(bytes, 16),
                            Word32(bytes, 20), Word32(bytes, 24), Word32(bytes, 28)};
}

}  // namespace pelrion::import
