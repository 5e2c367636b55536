#include "message_scan.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "mailformat/message_file_scan.h"
#include "mailformat/mime_scanner.h"
#include "platform/random.h"

namespace pelrion::msgtool {
namespace {

// A fresh mode-0700 folder under $TMPDIR (or /tmp), removed with its files on destruction.
class PrivateTempFolder {
 public:
  PrivateTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/pelrion-msg-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
  }
  ~PrivateTempFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  PrivateTempFolder(const PrivateTempFolder&) = delete;
  PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

  // Ends in '/'; empty when the folder could not be made.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

std::optional<ScannedMessage> ScanMessage(const std::string& path, const char* command) {
  mailformat::MimeScanner scanner;
  if (!mailformat::FeedMessageFile(path, scanner)) {
    std::cerr << "pelrion-msg " << command << ": cannot read '" << path << "'\n";
    return std::nullopt;
  }
  const PrivateTempFolder temp;
  if (temp.path().empty()) {
    std::cerr << "pelrion-msg " << command << ": cannot create a temporary folder\n";
    return std::nullopt;
  }
  // Made-up part names draw from the generator, seeded as a mail-check thread seeds it.
  platform::SeedRandFromClock();
  ScannedMessage result;
  result.headers_ended = scanner.headers_ended();
  result.header_length = scanner.header_length();
  result.body_lines = scanner.body_line_count();
  result.table = mailformat::BuildPartTable(scanner, path, temp.path());
  return result;
}

}  // namespace pelrion::msgtool
