#include "validation/arrival_test_helpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "mailformat/message_file_scan.h"
#include "mailformat/mime_scanner.h"

namespace pelrion::validation::arrival_testing {

std::string Crlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

void WriteAndScanInto(const std::string& path, std::string_view bytes,
                      const std::string& /*temp_folder: no longer needed to scan*/,
                      store::MessageRecord& record) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << path;
  }
  mailformat::MimeScanner scanner;
  EXPECT_TRUE(mailformat::FeedMessageFile(path, scanner)) << path;
  store::MessageSummary& summary = record.summary;
  summary.header_length =
      scanner.headers_ended() ? static_cast<std::int32_t>(scanner.header_length()) : -1;
  summary.body_line_count = scanner.body_line_count();
  summary.file_size = static_cast<std::uint32_t>(bytes.size());
  summary.set_part_table(mailformat::BuildPartTable(scanner, path));
}

std::unique_ptr<store::MessageRecord> WriteAndScan(const std::string& path, std::string_view bytes,
                                                   const std::string& temp_folder) {
  auto record = std::make_unique<store::MessageRecord>();
  WriteAndScanInto(path, bytes, temp_folder, *record);
  return record;
}

std::string ReadArrivalFixture(std::string_view name) {
  const std::string path = std::string(PELRION_FIXTURES) + "/arrival/" + std::string(name);
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "missing fixture " << path;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string Substitute(std::string text, std::string_view placeholder, std::string_view value) {
  for (std::size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + value.size())) {
    text.replace(at, placeholder.size(), value);
  }
  return text;
}

}  // namespace pelrion::validation::arrival_testing
