// Reads a file line by line, each line with its LF, however long the lines are.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace pelrion::mailformat {

class LineReader {
 public:
  // Reads from file, which the caller keeps open (and closes) for the reader's lifetime.
  explicit LineReader(std::FILE* file) : file_(file) {}
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line, LF included, valid until the next call. At the end of the file a last
  // line without LF is returned only when strict is off; false at the end, on a read error,
  // or (strict) for such a partial line.
  bool ReadLine(bool strict, std::string_view& line);

 private:
  std::FILE* file_;
  char* buffer_ = nullptr;
  std::size_t capacity_ = 0;
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
