// Scanning a stored message file for the pelrion-msg commands, the way the download scans it:
// lines split after each LF, the offset after each line, then the part table.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mailformat/part_table.h"

namespace pelrion::msgtool {

struct ScannedMessage {
  mailformat::PartTable table;
  bool headers_ended = false;
  std::uint32_t header_length = 0;  // offset of the first body byte, when headers_ended
  std::uint32_t body_lines = 0;
};

// nullopt (with a message on standard error) when the file cannot be read.
std::optional<ScannedMessage> ScanMessage(const std::string& path, const char* command);

}  // namespace pelrion::msgtool
