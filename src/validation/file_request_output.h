// A request written into a new file, as the template preview does.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "validation/request_output.h"

namespace pelrion::validation {

// Creates (or truncates) the file at construction. A failure to open or write is kept:
// later writes do nothing and Close() reports false, so the caller decides once at the end.
class FileRequestOutput : public RequestOutput {
 public:
  explicit FileRequestOutput(const std::string& path);
  // Writes into an open file descriptor, which it then owns (-1 counts as a failed open).
  explicit FileRequestOutput(int fd);
  ~FileRequestOutput() override;
  FileRequestOutput(const FileRequestOutput&) = delete;
  FileRequestOutput& operator=(const FileRequestOutput&) = delete;

  void Write(std::string_view text) override;
  // Flushes and closes; true when the file was opened and every byte reached it.
  bool Close();

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace pelrion::validation
