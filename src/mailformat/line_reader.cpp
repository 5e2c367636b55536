#include "mailformat/line_reader.h"

#include <stdio.h>
#include <sys/types.h>

#include <cstdlib>

namespace pelrion::mailformat {

LineReader::~LineReader() {
  std::free(buffer_);
}

bool LineReader::ReadLine(bool strict, std::string_view& line) {
  // POSIX getline grows buffer_ as needed and counts embedded NUL bytes.
  const ssize_t length = ::getline(&buffer_, &capacity_, file_);
  if (length <= 0) return false;
  line = std::string_view(buffer_, static_cast<std::size_t>(length));
  if (strict && line.back() != '\n') return false;
  return true;
}

}  // namespace pelrion::mailformat
