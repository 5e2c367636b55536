#include "transport/line_buffer.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pelrion::transport {
namespace {

constexpr std::size_t kBlock = 64;

// The LFs and the NULs of one 64-byte block: bit i stands for block[i].
struct BlockBits {
  std::uint64_t line_ends;
  std::uint64_t nuls;
};

#if defined(__SSE2__)
std::uint64_t Bits(__m128i equal0, __m128i equal1, __m128i equal2, __m128i equal3) {
  return static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(equal0))) |
         static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(equal1))) << 16 |
         static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(equal2))) << 32 |
         static_cast<std::uint64_t>(static_cast<std::uint16_t>(_mm_movemask_epi8(equal3))) << 48;
}

BlockBits ScanBlock(const char* block) {
  const auto* at = reinterpret_cast<const __m128i*>(block);
  const __m128i v0 = _mm_loadu_si128(at), v1 = _mm_loadu_si128(at + 1);
  const __m128i v2 = _mm_loadu_si128(at + 2), v3 = _mm_loadu_si128(at + 3);
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  BlockBits bits{Bits(_mm_cmpeq_epi8(v0, lf), _mm_cmpeq_epi8(v1, lf), _mm_cmpeq_epi8(v2, lf),
                      _mm_cmpeq_epi8(v3, lf)),
                 0};
  // NULs are rare: one test for the whole block first.
  const __m128i least = _mm_min_epu8(_mm_min_epu8(v0, v1), _mm_min_epu8(v2, v3));
  if (_mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0) {
    bits.nuls = Bits(_mm_cmpeq_epi8(v0, zero), _mm_cmpeq_epi8(v1, zero), _mm_cmpeq_epi8(v2, zero),
                     _mm_cmpeq_epi8(v3, zero));
  }
  return bits;
}
#else
BlockBits ScanBlock(const char* block) {
  BlockBits bits{0, 0};
  for (std::size_t i = 0; i < kBlock; ++i) {
    bits.line_ends |= std::uint64_t{block[i] == '\n'} << i;
    bits.nuls |= std::uint64_t{block[i] == '\0'} << i;
  }
  return bits;
}
#endif

// The bits of a block's bytes that lie in [from, to); the block starts at `first`.
std::uint64_t RangeBits(std::size_t first, std::size_t from, std::size_t to) {
  std::uint64_t bits =
      to - first >= kBlock ? ~std::uint64_t{0} : (std::uint64_t{1} << (to - first)) - 1;
  if (from > first) bits &= ~std::uint64_t{0} << (from - first);
  return bits;
}

}  // namespace

std::span<char> LineBuffer::PrepareAppend(std::size_t size) {
  if (begin_ == end_) Clear();
  if (capacity_ - end_ < size && begin_ > 0) {
    // Only the partial line moves: whole lines have been handed out already.
    std::memmove(data_.get(), data_.get() + begin_, end_ - begin_);
    scan_ = scan_ > begin_ ? scan_ - begin_ : 0;
    end_ -= begin_;
    begin_ = 0;
    MarkLineEnds(0, end_);
  }
  if (capacity_ - end_ < size) {
    const std::size_t wanted = std::max(capacity_ * 2, end_ + size);
    const std::size_t grown = (wanted + kBlock - 1) / kBlock * kBlock;
    // Zeroed: the marking pass reads whole blocks, also past the last received byte.
    auto larger = std::make_unique<char[]>(grown);
    if (end_ > 0) std::memcpy(larger.get(), data_.get(), end_);
    data_ = std::move(larger);
    line_ends_ = std::make_unique<std::uint64_t[]>(grown / kBlock);
    capacity_ = grown;
    MarkLineEnds(0, end_);
  }
  return {data_.get() + end_, size};
}

void LineBuffer::Commit(std::size_t count) {
  MarkLineEnds(end_, end_ + count);
  end_ += count;
}

void LineBuffer::MarkLineEnds(std::size_t from, std::size_t to) {
  for (std::size_t first = from / kBlock * kBlock; first < to; first += kBlock) {
    char* const block = data_.get() + first;
    const BlockBits bits = ScanBlock(block);
    for (std::uint64_t nuls = bits.nuls & RangeBits(first, from, to); nuls != 0; nuls &= nuls - 1) {
      block[std::countr_zero(nuls)] = '^';
    }
    line_ends_[first / kBlock] = bits.line_ends & RangeBits(first, 0, to);
  }
}

std::string_view LineBuffer::AddCarriageReturn(std::string_view without_lf) {
  repaired_.assign(without_lf);
  repaired_ += "\r\n";
  return repaired_;
}

}  // namespace pelrion::transport
