// Substring search with a rolling hash (Rabin-Karp), used to look for short codes in reply text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelrion::mailformat {

// Index of the first occurrence of pattern in text, or -1; an empty pattern gives 0. The
// rolling hash uses the caller's multiplier (modulo 2^32); every hash hit is confirmed by
// comparing the bytes, so the result always equals text.find(pattern). Linear on average, no
// allocation.
std::ptrdiff_t FindSubstring(std::string_view pattern, std::string_view text,
                             std::uint32_t multiplier);

}  // namespace pelrion::mailformat
