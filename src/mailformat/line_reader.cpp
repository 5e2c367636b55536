#include "mailformat/line_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pelrion::mailformat {
namespace {

constexpr std::size_t kFirstRead = 8 * 1024;
constexpr std::size_t kBlockSize = 64 * 1024;

// The first LF in [p, end), or null. Mail lines are short, so the search is inlined 16 bytes
// at a time rather than paying a library call per line.
inline const char* FindLf(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  while (end - p >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(block, lf));
    if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
    p += 16;
  }
#endif
  if (p >= end) return nullptr;
  return static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
}

// kFirstRead when nothing is expected, else enough for the bytes expected in whole pages, at
// most kBlockSize.
std::size_t FirstRead(std::size_t expected_bytes) {
  constexpr std::size_t kPage = 4096;
  if (expected_bytes == 0) return kFirstRead;
  return (std::min(expected_bytes, kBlockSize) + kPage - 1) / kPage * kPage;
}

}  // namespace

LineReader::~LineReader() {
  std::free(buffer_);
}

bool LineReader::Refill() {
  if (begin_ > 0) {
    std::memmove(buffer_, buffer_ + begin_, filled_ - begin_);
    filled_ -= begin_;
    searched_ -= begin_;
    begin_ = 0;
  }
  // A part is often a few kilobytes of a longer file: the first read is small, and each later
  // one doubles up to the block size, so a long part still streams in large reads.
  read_size_ = read_size_ == 0 ? FirstRead(expected_bytes_) : std::min(read_size_ * 2, kBlockSize);
  if (capacity_ - filled_ < read_size_) {
    const std::size_t capacity = std::max(capacity_ * 2, filled_ + read_size_);
    char* grown = static_cast<char*>(std::realloc(buffer_, capacity));
    if (grown == nullptr) {
      failed_ = true;
      return false;
    }
    buffer_ = grown;
    capacity_ = capacity;
  }
  const std::size_t got = std::fread(buffer_ + filled_, 1, read_size_, file_);
  filled_ += got;
  return got > 0;
}

bool LineReader::ReadLine(bool strict, std::string_view& line) {
  for (;;) {
    const char* lf = FindLf(buffer_ + searched_, buffer_ + filled_);
    if (lf != nullptr) {
      const std::size_t end = static_cast<std::size_t>(lf - buffer_) + 1;
      line = std::string_view(buffer_ + begin_, end - begin_);
      begin_ = searched_ = end;
      return true;
    }
    searched_ = filled_;
    if (!Refill()) break;
  }
  // End of the file: a last line without LF counts only when not strict. After a read error
  // (or no memory for a longer line) nothing more is returned.
  if (begin_ == filled_ || failed_ || std::ferror(file_) != 0 || strict) return false;
  line = std::string_view(buffer_ + begin_, filled_ - begin_);
  begin_ = searched_ = filled_;
  return true;
}

}  // namespace pelrion::mailformat
