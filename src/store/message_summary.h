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
#include "mailformat/part_table.h"
#include "mailformat/timestamp.h"

namespace pelrion::store {

inline constexpr std::size_t kSummaryFixedSize = 112;  // 28 words
inline constexpr std::size_t kPartEntrySize = 40;      // 10 words
inline constexpr std::size_t kSegmentEntrySize = 20;   // 5 words
inline constexpr std::size_t kSummaryStringCount = 8;
// Only this many leading bytes of a message file are covered by the content digest.
inline constexpr std::size_t kContentDigestSpan = 20000;

// The part table types belong to the MIME parser, which fills them.
using mailformat::PartEntry;
using mailformat::PartTable;
using mailformat::SegmentEntry;

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
