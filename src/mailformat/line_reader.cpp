#include "mailformat/line_reader.h"

#include <cstdlib>
#include <cstring>

namespace pelrion::mailformat {
namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

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
  if (capacity_ - filled_ < kBlockSize / 2) {
    const std::size_t capacity = capacity_ == 0 ? kBlockSize : capacity_ * 2;
    char* grown = static_cast<char*>(std::realloc(buffer_, capacity));
    if (grown == nullptr) {
      failed_ = true;
      return false;
    }
    buffer_ = grown;
    capacity_ = capacity;
  }
  const std::size_t got = std::fread(buffer_ + filled_, 1, capacity_ - filled_, file_);
  filled_ += got;
  return got > 0;
}

bool LineReader::ReadLine(bool strict, std::string_view& line) {
  for (;;) {
    const void* lf = searched_ < filled_
                         ? std::memchr(buffer_ + searched_, '\n', filled_ - searched_)
                         : nullptr;
    if (lf != nullptr) {
      const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_) + 1;
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
