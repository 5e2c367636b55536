#pragma once
// LineBuffer: bytes received but not yet handed out, cut into lines. Received bytes are written
// straight into its free tail; a NUL becomes '^' as it arrives; every line handed out ends in
// CR LF (a bare LF gets its CR). Once the storage has grown to the longest line plus one
// receive, handing out a line allocates nothing.
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pelrion::transport {

class LineBuffer {
 public:
  // Forget every buffered byte; the storage is kept.
  void Clear();

  // A writable tail of exactly `size` bytes, valid until the next call on this buffer; the
  // caller writes up to `size` bytes there and then calls Commit with the count.
  std::span<char> PrepareAppend(std::size_t size);
  void Commit(std::size_t count);

  // The next whole line, CR LF at its end, valid until the next call on this buffer; nothing
  // when no LF is buffered yet.
  std::optional<std::string_view> TakeLine();

  // Bytes buffered and not yet handed out (after TakeLine found nothing: the partial line).
  std::size_t pending() const { return end_ - begin_; }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
  std::size_t begin_ = 0;  // first byte not handed out
  std::size_t scan_ = 0;   // bytes before this, from begin_, hold no LF
  std::size_t end_ = 0;    // one past the last received byte
  std::string repaired_;   // a bare-LF line with its CR added
};

}  // namespace pelrion::transport
