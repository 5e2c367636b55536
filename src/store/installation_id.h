// The installation's identity, kept in a 28-byte file: MD5 of the following 12 bytes, then
// "USR" + 8 upper-case hexadecimal digits + a zero byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelrion::store {

inline constexpr std::size_t kIdentityFileSize = 28;
inline constexpr std::size_t kInstallationIdSize = 12;  // with the terminator

// "USR%08X" of number.
std::string FormatInstallationId(std::uint32_t number);

// A new id from (Rand() << 16) | (TickCount() & 0xFFFF).
std::string NewInstallationId();

// The 28 file bytes for id (at most 11 characters, zero-filled to 12 bytes).
std::string EncodeIdentityFile(std::string_view id);

// The id held in the file bytes: nullopt unless there are 16 digest bytes and 12 id bytes
// whose MD5 matches. The id is the text before the first zero of the 12 bytes.
std::optional<std::string> ParseIdentityFile(std::string_view bytes);

// Reads the id from path (created when missing); when the file is short or damaged, makes
// a new one and writes it (length set to 28, written from offset 0). Dies on file errors.
std::string LoadInstallationId(const std::string& path);

}  // namespace pelrion::store
