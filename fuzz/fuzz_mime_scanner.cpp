// The MIME scanner over arbitrary message bytes: the bytes are stored in a file, fed line by
// line (split after each LF, with the offset after each line), the part table is built, and
// every listed part and segment is decoded back from the file. Checks: no crash or overread;
// feeding the file through FeedMessageFile in small chunks gives the same scan; and a part that
// decodes gives exactly the size the scanner counted for it.
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/message_file_scan.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/mime_scanner.h"
#include "mailformat/part_decoder.h"
#include "platform/random.h"

namespace {

using namespace pelrion::mailformat;

// Decoded sizes above this are only decoded partly (the capacity then is the limit).
constexpr std::size_t kDecodeLimit = 1 << 20;

// A private folder for the message file and the decoded files, removed at exit. Never
// destroyed itself, so the exit handler can still read its name.
const std::string& WorkFolder() {
  static const std::string* const folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/fuzz-mime-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return new std::string(pattern + "/");
  }();
  static const bool registered = std::atexit([] {
                                   std::error_code ignored;
                                   std::filesystem::remove_all(*folder, ignored);
                                 }) == 0;
  (void)registered;
  return *folder;
}

void FeedLines(MimeScanner& scanner, std::string_view message) {
  std::size_t start = 0;
  while (start < message.size()) {
    std::size_t end = message.find('\n', start);
    end = end == std::string_view::npos ? message.size() : end + 1;
    scanner.FeedLine(message.substr(start, end - start), static_cast<std::uint32_t>(end));
    start = end;
  }
}

// Decodes one entry into memory; when it succeeds with room to spare, it must have produced
// exactly the counted size.
void CheckDecodes(std::uint32_t offset, std::uint32_t lines, std::uint32_t size, bool mime,
                  TransferEncoding encoding, const std::string& path, std::vector<char>& buffer) {
  const std::size_t capacity = std::min<std::size_t>(size + 1, kDecodeLimit);
  buffer.resize(capacity);
  std::size_t placed = 0;
  const bool ok =
      DecodePartToMemory(offset, lines, mime, encoding, path, buffer.data(), capacity, placed);
  if (placed > capacity) std::abort();
  if (ok && capacity == std::size_t{size} + 1 && placed != size) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  const std::string& folder = WorkFolder();
  const std::string path = folder + "message.eml";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  MimeScanner scanner;
  FeedLines(scanner, message);
  MimeScanner chunked;
  if (!FeedMessageFile(path, chunked, 1 + size % 13)) std::abort();
  if (scanner.headers_ended() != chunked.headers_ended() ||
      scanner.header_length() != chunked.header_length() ||
      scanner.body_line_count() != chunked.body_line_count() ||
      scanner.header_text() != chunked.header_text()) {
    std::abort();
  }

  pelrion::platform::SeedRand(1);
  const PartTable table = BuildPartTable(scanner, path);
  pelrion::platform::SeedRand(1);
  if (!(BuildPartTable(chunked, path) == table)) std::abort();
  if (table.parts.size() > kMaxParts) std::abort();
  if (table.text_part_count != 0 &&
      std::size_t{table.first_text_index} + table.text_part_count > table.parts.size()) {
    std::abort();
  }

  std::vector<char> buffer;
  for (const PartEntry& part : table.parts) {
    CheckDecodes(part.body_offset, part.body_line_count, part.decoded_size, true,
                 part.transfer_encoding, path, buffer);
  }
  for (const SegmentEntry& segment : table.segments) {
    CheckDecodes(segment.data_offset, segment.data_line_count, segment.data_size,
                 segment.uuencoded == 0, TransferEncoding::k7Bit, path, buffer);
  }
  if (!table.parts.empty()) {
    const PartEntry& part = table.parts.back();
    DecodePartToFile(part.body_offset, part.body_line_count, true, part.transfer_encoding, path,
                     folder + "decoded");
  } else if (!table.segments.empty()) {
    const SegmentEntry& segment = table.segments.back();
    DecodePartToFile(segment.data_offset, segment.data_line_count, segment.uuencoded == 0,
                     TransferEncoding::k7Bit, path, folder + "decoded");
  }
  return 0;
}
