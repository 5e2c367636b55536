#include "mailformat/part_export.h"

#include <unistd.h>

#include "mailformat/part_decoder.h"
#include "mailformat/temp_files.h"

namespace pelrion::mailformat {
namespace {

// Writes all of bytes to fd; false on an error.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

std::optional<std::string> ExportPart(const PartTable& table, std::size_t index,
                                      const std::string& message_path,
                                      const std::string& temp_folder, std::string_view name) {
  std::uint32_t offset = 0;
  std::uint32_t line_count = 0;
  bool mime = true;
  TransferEncoding encoding = TransferEncoding::k7Bit;
  if (table.mime != 0) {
    if (index >= table.parts.size()) return std::nullopt;
    const PartEntry& part = table.parts[index];
    offset = part.body_offset;
    line_count = part.body_line_count;
    encoding = part.transfer_encoding;
  } else {
    if (index >= table.segments.size()) return std::nullopt;
    const SegmentEntry& segment = table.segments[index];
    offset = segment.data_offset;
    line_count = segment.data_line_count;
    mime = segment.uuencoded == 0;
  }
  const std::optional<TempFile> file = CreateTempFile(temp_folder, "T", TempExtensionFor(name));
  if (!file) return std::nullopt;
  bool written = true;
  const bool decoded = DecodePartPieces(offset, line_count, mime, encoding, message_path,
                                        [&](std::string_view piece) {
                                          written = WriteAll(file->fd, piece);
                                          return written;
                                        });
  const bool closed = ::close(file->fd) == 0;
  if (decoded && written && closed) return file->path;
  ::unlink(file->path.c_str());
  return std::nullopt;
}

}  // namespace pelrion::mailformat
