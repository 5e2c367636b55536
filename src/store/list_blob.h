// ListBlob: one contact's display name and addresses as stored in "db4.dat" (after the heap
// item's 16-byte MD5). A relocatable blob, all words little-endian:
//   0  total size, padding included     4  offset of the display name
//   8  number of addresses n            12 reserved, 0
//   16 offset of the address-offset array (24)   20 reserved, 0 (ignored on reading)
//   24 n address offsets, then the n addresses and the name, each zero-terminated,
//   then p zero bytes where p = unpadded length modulo 8 (the stored rule, not alignment).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::store {

inline constexpr std::size_t kListBlobFixedSize = 24;
inline constexpr std::uint32_t kListBlobArrayOffset = 24;

struct ListBlob {
  std::string name;
  std::vector<std::string> addresses;  // lower case, in stored order

  bool operator==(const ListBlob&) const = default;
};

// The stored bytes of blob. Texts are written up to their first zero byte.
std::string EncodeListBlob(const ListBlob& blob);

// Decodes stored bytes. nullopt unless the size word equals bytes.size() and every offset
// (array, each address, the name) lies inside the blob with its terminator inside too.
std::optional<ListBlob> ParseListBlob(std::string_view bytes);

}  // namespace pelrion::store
