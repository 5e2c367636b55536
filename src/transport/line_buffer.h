#pragma once
// LineBuffer: bytes received but not yet handed out, cut into lines. Received bytes are written
// straight into its free tail; a NUL becomes '^' as it arrives; every line handed out ends in
// CR LF (a bare LF gets its CR). Once the storage has grown to the longest line plus one
// receive, handing out a line allocates nothing.
//
// A download is millions of short lines, so the per-line work is kept to a few instructions:
// when bytes arrive, one pass over them replaces NULs and records every LF in a bitmap (one bit
// per stored byte), and taking a line only looks up the next set bit.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pelrion::transport {

class LineBuffer {
 public:
  // Forget every buffered byte; the storage is kept.
  void Clear() { begin_ = scan_ = end_ = 0; }

  // A writable tail of exactly `size` bytes, valid until the next call on this buffer; the
  // caller writes up to `size` bytes there and then calls Commit with the count.
  std::span<char> PrepareAppend(std::size_t size);
  void Commit(std::size_t count);

  // The next whole line, CR LF at its end, valid until the next call on this buffer; nothing
  // when no LF is buffered yet.
  std::optional<std::string_view> TakeLine() {
    const std::size_t lf = NextLineEnd();
    if (lf == kNoLineEnd) {
      scan_ = end_;
      return std::nullopt;
    }
    const char* const start = data_.get() + begin_;
    const std::size_t length = lf + 1 - begin_;
    begin_ = lf + 1;
    if (length >= 2 && start[length - 2] == '\r') return std::string_view(start, length);
    return AddCarriageReturn(std::string_view(start, length - 1));
  }

  // Bytes buffered and not yet handed out (after TakeLine found nothing: the partial line).
  std::size_t pending() const { return end_ - begin_; }
  // Puts bytes in the empty buffer as if they had just been received.
  void Refill(std::string_view bytes) {
    Clear();
    const std::span<char> tail = PrepareAppend(bytes.size());
    std::copy(bytes.begin(), bytes.end(), tail.begin());
    Commit(bytes.size());
  }
  // Hands out those bytes as they arrived and empties the buffer.
  std::string TakePending() {
    std::string bytes(data_.get() + begin_, end_ - begin_);
    Clear();
    return bytes;
  }

 private:
  static constexpr std::size_t kNoLineEnd = static_cast<std::size_t>(-1);

  // The first LF at or after begin_ and before end_; the bytes before scan_ have no LF.
  std::size_t NextLineEnd() const {
    for (std::size_t at = std::max(begin_, scan_); at < end_; at = (at | 63) + 1) {
      const std::uint64_t bits = line_ends_[at / 64] >> (at % 64);
      if (bits != 0) {
        const std::size_t lf = at + static_cast<std::size_t>(std::countr_zero(bits));
        return lf < end_ ? lf : kNoLineEnd;
      }
    }
    return kNoLineEnd;
  }
  // Replaces the NULs of bytes [from, to) and records the LFs of the 64-byte blocks they touch.
  void MarkLineEnds(std::size_t from, std::size_t to);
  std::string_view AddCarriageReturn(std::string_view without_lf);

  std::unique_ptr<char[]> data_;                // capacity_ bytes, a multiple of 64
  std::unique_ptr<std::uint64_t[]> line_ends_;  // bit i of word w: byte 64 w + i is LF
  std::size_t capacity_ = 0;
  std::size_t begin_ = 0;  // first byte not handed out
  std::size_t scan_ = 0;   // bytes from begin_ up to this hold no LF (when above begin_)
  std::size_t end_ = 0;    // one past the last received byte
  std::string repaired_;   // a bare-LF line with its CR added
};

}  // namespace pelrion::transport
