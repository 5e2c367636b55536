#include "import/file_version.h"

#include <algorithm>
#include <fstream>

namespace pelrion::import {
namespace {

std::uint32_t Le32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  }
  return value;
}

constexpr std::size_t kMaxProgramFileBytes = 64u << 20;

}  // namespace

std::optional<std::uint64_t> FileVersionIn(std::string_view bytes) {
  // The block is 32-bit aligned inside the resource: signature, structure version, then
  // the file version's high and low halves.
  constexpr std::string_view kSignature("\xBD\x04\xEF\xFE", 4);
  for (std::size_t at = bytes.find(kSignature); at != std::string_view::npos;
       at = bytes.find(kSignature, at + 1)) {
    if (at + 16 > bytes.size()) break;
    if (Le32(bytes, at + 4) != 0x00010000u) continue;
    return (std::uint64_t{Le32(bytes, at + 8)} << 32) | Le32(bytes, at + 12);
  }
  return std::nullopt;
}

std::optional<std::uint64_t> FileVersionOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return std::nullopt;
  const std::streamoff size = in.tellg();
  if (size <= 0) return std::nullopt;
  in.seekg(0);
  std::string bytes(std::min(static_cast<std::size_t>(size), kMaxProgramFileBytes), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return FileVersionIn(bytes);
}

}  // namespace pelrion::import
