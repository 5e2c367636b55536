// The per-record MD5 digest that guards every stored record, slot entry and heap blob.
#pragma once

#include <string>
#include <string_view>

#include "crypto/md5.h"

namespace pelrion::store {

inline constexpr std::size_t kDigestSize = 16;

// The 16 digest bytes of exactly these stored bytes.
std::string RecordDigest(std::string_view stored);

// True when digest (16 bytes) is the MD5 of stored; false for a digest of any other length.
bool DigestMatches(std::string_view digest, std::string_view stored);

// digest + stored, the unit written in front of every record and slot entry.
std::string WithDigest(std::string_view stored);

}  // namespace pelrion::store
