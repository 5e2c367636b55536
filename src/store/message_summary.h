// MessageSummary: the per-message blob kept in "db2.dat". A relocatable blob: 28 fixed
// 32-bit words, then the MIME part table's entry arrays and their texts, then eight
// display strings, then padding. Internal references are byte offsets from the blob's
// start on disk; in memory the summary is held as plain fields and strings.
//
// Fixed part (word: meaning): 0 total size, 1 header length (-1 until known), 2 body line
// count, 3 file size, 4-11 part table, 12 Sent, 13 Received, 14 unused, 15-22 string
// offsets, 23-26 content digest, 27 unused.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/md5.h"
#include "mailformat/timestamp.h"

namespace pelrion::store {

inline constexpr std::size_t kSummaryFixedSize = 112;  // 28 words
inline constexpr std::size_t kPartEntrySize = 40;      // 10 words
inline constexpr std::size_t kSegmentEntrySize = 20;   // 5 words
inline constexpr std::size_t kSummaryStringCount = 8;
// Only this many leading bytes of a message file are covered by the content digest.
inline constexpr std::size_t kContentDigestSpan = 20000;

// One part of a MIME message: words body offset, body line count, decoded size,
// attachment flag, transfer encoding, group identity, in-alternative flag, then
// references to the type, subtype and name texts.
struct PartEntry {
  std::uint32_t body_offset = 0;
  std::uint32_t body_line_count = 0;
  std::uint32_t decoded_size = 0;
  std::uint32_t attachment = 0;
  std::uint32_t transfer_encoding = 0;
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

struct MessageSummary {
  std::int32_t header_length = -1;
  std::uint32_t body_line_count = 0;
  std::uint32_t file_size = 0;
  PartTable part_table;
  mailformat::Timestamp sent = 0;
  mailformat::Timestamp received = 0;
  std::uint32_t word14 = 0;  // read by no operation; kept as stored
  std::uint32_t word27 = 0;  // read by no operation; kept as stored

  // The eight strings (words 15-22, in this order). A summary without strings is the bare
  // fixed part; they are written when has_strings is set or any of them is non-empty.
  bool has_strings = false;
  std::string sender_address;  // lower case
  std::string sender_name;     // as written
  std::string sender_name_decoded;
  std::string subject;  // as written
  std::string subject_decoded;
  std::string from_text;
  std::string to_text;
  std::string cc_text;

  crypto::Md5Digest content_digest{};  // words 23-26

  bool operator==(const MessageSummary&) const = default;
};

// Encodes the summary as its stored blob: fixed part, part entries, segment entries,
// their texts in entry order (type, subtype, name per part; name per segment), the eight
// strings, then (unpadded length mod 8) zero bytes. Word 0 holds the final size.
std::string EncodeMessageSummary(const MessageSummary& summary);

// Decodes a stored blob. nullopt when the blob is shorter than the fixed part, word 0
// differs from the blob's length, or any array or string reference (with its zero
// terminator) does not lie wholly inside the blob. Never reads outside `blob`.
std::optional<MessageSummary> DecodeMessageSummary(std::string_view blob);

}  // namespace pelrion::store
