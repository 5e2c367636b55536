#include "message_scan.h"

#include <iostream>

#include "mailformat/message_file_scan.h"
#include "mailformat/mime_scanner.h"
#include "platform/random.h"

namespace pelrion::msgtool {

std::optional<ScannedMessage> ScanMessage(const std::string& path, const char* command) {
  mailformat::MimeScanner scanner;
  if (!mailformat::FeedMessageFile(path, scanner)) {
    std::cerr << "pelrion-msg " << command << ": cannot read '" << path << "'\n";
    return std::nullopt;
  }
  // Made-up part names draw from the generator, seeded as a mail-check thread seeds it.
  platform::SeedRandFromClock();
  ScannedMessage result;
  result.headers_ended = scanner.headers_ended();
  result.header_length = scanner.header_length();
  result.body_lines = scanner.body_line_count();
  result.table = mailformat::BuildPartTable(scanner, path);
  return result;
}

}  // namespace pelrion::msgtool
