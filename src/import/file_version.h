// The file version in a Windows program file's version resource.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelrion::import {

// major.minor in the high 32 bits, build.revision in the low 32 bits.
constexpr std::uint64_t FileVersion(std::uint16_t major, std::uint16_t minor, std::uint16_t build,
                                    std::uint16_t revision) {
  return (std::uint64_t{major} << 48) | (std::uint64_t{minor} << 32) |
         (std::uint64_t{build} << 16) | revision;
}

// The file version of the fixed file information block in bytes (found by its signature
// 0xFEEF04BD followed by structure version 1.0), or nothing.
std::optional<std::uint64_t> FileVersionIn(std::string_view bytes);

// FileVersionIn of the file at path (at most its first 64 MiB), or nothing.
std::optional<std::uint64_t> FileVersionOf(const std::string& path);

}  // namespace pelrion::import
