// The fingerprint that guards a stored message file: its size and the MD5 of its first
// min(size, 20000) bytes (summary words 3 and 23-26). Computed when a message is filed and
// compared by the data check before a message is shown or served.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "crypto/md5.h"

namespace pelrion::store {

struct ContentFingerprint {
  std::uint64_t file_size = 0;
  crypto::Md5Digest digest{};
};

// The fingerprint of the file at path; nullopt when it cannot be opened, is not a regular
// file, has a size other than expected_size (when given; nothing is read then), or shrinks
// while it is read. A read error after that is a database error (FatalStop "Critical error
// on database access.").
std::optional<ContentFingerprint> ReadContentFingerprint(
    const std::string& path, std::optional<std::uint64_t> expected_size = std::nullopt);

}  // namespace pelrion::store
