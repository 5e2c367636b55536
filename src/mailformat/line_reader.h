// Reads a file line by line, each line with its LF, however long the lines are. The file is
// read in large blocks (lines are handed out from the block, not copied one by one), so the
// file's position after use is past the lines read.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdio>
#include <string_view>

namespace pelrion::mailformat {

class LineReader {
 public:
  // Reads from file, which the caller keeps open (and closes) for the reader's lifetime.
  // expected_bytes, when known, sizes the first read to what is likely wanted (0: a small one).
  explicit LineReader(std::FILE* file, std::size_t expected_bytes = 0)
      : file_(file), expected_bytes_(expected_bytes) {}
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line, LF included, valid until the next call. At the end of the file a last
  // line without LF is returned only when strict is off; false at the end, on a read error,
  // or (strict) for such a partial line.
  bool ReadLine(bool strict, std::string_view& line);

  // The bytes read from the file but not yet handed out (valid until the next call), so a
  // caller can take many lines at once; Skip(n) then marks n of them as read.
  std::string_view Buffered() const {
    return std::string_view(buffer_ + begin_, filled_ - begin_);
  }
  void Skip(std::size_t n) {
    begin_ += n;
    searched_ = std::max(searched_, begin_);
  }

 private:
  // Reads more of the file after the unread bytes (moved to the buffer's start, the buffer
  // grown when the next read would not fit). False when nothing more came: end of file, a read error,
  // or no memory.
  bool Refill();

  std::FILE* file_;
  std::size_t expected_bytes_;
  char* buffer_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t read_size_ = 0;  // what the last read asked for (0 before the first)
  std::size_t begin_ = 0;     // first unread byte
  std::size_t filled_ = 0;    // end of the bytes read
  std::size_t searched_ = 0;  // [begin_, searched_) holds no LF
  bool failed_ = false;       // the buffer could not grow
};

// line without its line end: a final CR LF, else a final lone LF, is cut off.
constexpr std::string_view StripLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n')
    line.remove_suffix(1);
  else
    return line;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace pelrion::mailformat
