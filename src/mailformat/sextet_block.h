// Packing 16 six-bit values into 12 bytes with SSE2, shared by the base64 and uudecode fast
// paths (both put 4 characters' 6 bits each into 3 bytes, the first character highest).
#pragma once

#if defined(__SSE2__)
#include <emmintrin.h>

namespace pelrion::mailformat {

// Writes the 12 bytes that the 16 values (one per byte of v, each below 64) make at p, and
// 2 bytes of slack after them.
inline void PutSextetBlock(__m128i v, unsigned char* p) {
  // Pairs of values into 12 bits per 16-bit lane, then pairs of those into 24 bits per
  // 32-bit lane (the first of each pair is the high part).
  const __m128i pairs = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v, _mm_set1_epi16(0x00FF)), 6),
                                     _mm_srli_epi16(v, 8));
  const __m128i groups = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
  // Each lane's 3 bytes in memory order at its start: swap the lane's bytes, drop the zero.
  const __m128i halves = _mm_shufflehi_epi16(_mm_shufflelo_epi16(groups, 0xB1), 0xB1);
  const __m128i swapped = _mm_or_si128(_mm_slli_epi16(halves, 8), _mm_srli_epi16(halves, 8));
  const __m128i lanes = _mm_srli_epi32(swapped, 8);
  // Two lanes per 64-bit half side by side: 6 bytes, then 2 zero bytes.
  const __m128i six = _mm_or_si128(_mm_and_si128(lanes, _mm_set_epi32(0, -1, 0, -1)),
                                   _mm_slli_epi64(_mm_srli_epi64(lanes, 32), 24));
  // The second store overwrites the first one's zero bytes and leaves two of its own.
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), six);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 6), _mm_unpackhi_epi64(six, six));
}

}  // namespace pelrion::mailformat
#endif
