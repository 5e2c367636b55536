// PartTable: what the MIME parser learns about a message's parts, kept in the message's
// summary and used later to decode a part straight from the stored message file.
// A MIME message lists its leaf parts; a plain message lists its text and uuencoded segments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mailformat/transfer_encoding.h"

namespace pelrion::mailformat {

// One part of a MIME message: words body offset, body line count, decoded size,
// attachment flag, transfer encoding, group identity, in-alternative flag, then
// references to the type, subtype and name texts.
struct PartEntry {
  std::uint32_t body_offset = 0;
  std::uint32_t body_line_count = 0;
  std::uint32_t decoded_size = 0;
  std::uint32_t attachment = 0;
  TransferEncoding transfer_encoding = TransferEncoding::k7Bit;
  std::uint32_t group_identity = 0;
  std::uint32_t in_alternative = 0;
  std::string type;
  std::string subtype;
  std::string name;

  bool operator==(const PartEntry&) const = default;
};

// One segment of a plain message: data offset, line count, size, uuencoded flag, name.
struct SegmentEntry {
  std::uint32_t data_offset = 0;
  std::uint32_t data_line_count = 0;
  std::uint32_t data_size = 0;
  std::uint32_t uuencoded = 0;
  std::string name;  // empty for a text segment

  bool operator==(const SegmentEntry&) const = default;
};

// Words 4-11. The part count (word 7) and segment count (word 9) are the vector sizes;
// the references (words 8 and 11) are 0 when the array is empty.
struct PartTable {
  std::uint32_t mime = 0;              // word 4
  std::uint32_t text_part_count = 0;   // word 5
  std::uint32_t first_text_index = 0;  // word 6
  std::vector<PartEntry> parts;        // words 7, 8
  std::uint32_t uuencoded_count = 0;   // word 10
  std::vector<SegmentEntry> segments;  // words 9, 11

  bool operator==(const PartTable&) const = default;
};

}  // namespace pelrion::mailformat
