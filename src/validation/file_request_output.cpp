#include "validation/file_request_output.h"

#include <stdio.h>
#include <unistd.h>

namespace pelrion::validation {

FileRequestOutput::FileRequestOutput(const std::string& path)
    : file_(std::fopen(path.c_str(), "wbe")), failed_(file_ == nullptr) {}

FileRequestOutput::FileRequestOutput(int fd)
    : file_(fd < 0 ? nullptr : ::fdopen(fd, "wb")), failed_(file_ == nullptr) {
  if (file_ == nullptr && fd >= 0) ::close(fd);
}

FileRequestOutput::~FileRequestOutput() {
  Close();
}

void FileRequestOutput::Write(std::string_view text) {
  if (failed_ || text.empty()) return;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
}

bool FileRequestOutput::Close() {
  if (file_ != nullptr) {
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
  }
  return !failed_;
}

}  // namespace pelrion::validation
