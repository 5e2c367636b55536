#include "transport/line_buffer.h"

#include <algorithm>
#include <cstring>

namespace pelrion::transport {

void LineBuffer::Clear() {
  begin_ = scan_ = end_ = 0;
}

std::span<char> LineBuffer::PrepareAppend(std::size_t size) {
  if (begin_ == end_) Clear();
  if (capacity_ - end_ < size && begin_ > 0) {
    // Only the partial line moves: whole lines have been handed out already.
    std::memmove(data_.get(), data_.get() + begin_, end_ - begin_);
    scan_ -= begin_;
    end_ -= begin_;
    begin_ = 0;
  }
  if (capacity_ - end_ < size) {
    const std::size_t grown = std::max(capacity_ * 2, end_ + size);
    auto larger = std::make_unique_for_overwrite<char[]>(grown);
    if (end_ > 0) std::memcpy(larger.get(), data_.get(), end_);
    data_ = std::move(larger);
    capacity_ = grown;
  }
  return {data_.get() + end_, size};
}

void LineBuffer::Commit(std::size_t count) {
  if (count == 0) return;
  char* const first = data_.get() + end_;
  char* const last = first + count;
  for (char* nul = first; (nul = static_cast<char*>(std::memchr(nul, 0, last - nul)));) *nul = '^';
  end_ += count;
}

std::optional<std::string_view> LineBuffer::TakeLine() {
  if (scan_ == end_) return std::nullopt;
  const char* const base = data_.get();
  const auto* lf = static_cast<const char*>(std::memchr(base + scan_, '\n', end_ - scan_));
  if (!lf) {
    scan_ = end_;
    return std::nullopt;
  }
  const char* const start = base + begin_;
  begin_ = scan_ = static_cast<std::size_t>(lf - base) + 1;
  if (lf > start && lf[-1] == '\r') return std::string_view(start, lf + 1 - start);
  repaired_.assign(start, lf);
  repaired_ += "\r\n";
  return std::string_view(repaired_);
}

}  // namespace pelrion::transport
