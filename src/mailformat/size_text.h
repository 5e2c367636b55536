// Size texts for the user interface ("12 KB", "1.00 MB"). Locale-independent: the decimal
// separator is always ".".
#pragma once

#include <cstdint>
#include <string>

namespace pelrion::mailformat {

// "0 KB" for 0, else "%u KB" of size / 1024 + 1 (1 byte gives "1 KB", 1024 bytes "2 KB").
std::string FormatSizeKb(std::uint32_t size);

// Negative or up to 1,000: "<n> bytes"; above 1,000: "%.1f KB" of n/2^10 with a ".0" dropped;
// above 1,000,000: "%.2f MB" of n/2^20; above 1,000,000,000: "%.2f GB" of n/2^30.
std::string FormatSize(std::int64_t size);

}  // namespace pelrion::mailformat
