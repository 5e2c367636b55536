// MessageSummary: the per-message blob kept in "db2.dat". A relocatable blob: 28 fixed
// 32-bit words, then the MIME part table's entry arrays and their texts, then eight
// display strings, then padding. Internal references are byte offsets from the blob's
// start. In memory the numbers are fields and the rest stays in blob form.
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

// The numbers are plain fields. The texts and the part table are held packed, laid out as a
// stored blob (one allocation per summary instead of one per text and part), and read
// through the accessors; a summary that was loaded keeps the blob it was read from.
class MessageSummary {
 public:
  std::int32_t header_length = -1;
  std::uint32_t body_line_count = 0;
  std::uint32_t file_size = 0;
  mailformat::Timestamp sent = 0;
  mailformat::Timestamp received = 0;
  std::uint32_t word14 = 0;  // read by no operation; kept as stored
  std::uint32_t word27 = 0;  // read by no operation; kept as stored

  // The eight strings (words 15-22, in the order of the accessors below). A summary without
  // strings is the bare fixed part; they are written when has_strings is set or any of them
  // is non-empty.
  bool has_strings = false;

  crypto::Md5Digest content_digest{};  // words 23-26

  std::string_view sender_address() const { return Text(kSenderAddress); }  // lower case
  std::string_view sender_name() const { return Text(kSenderName); }        // as written
  std::string_view sender_name_decoded() const { return Text(kSenderNameDecoded); }
  std::string_view subject() const { return Text(kSubject); }  // as written
  std::string_view subject_decoded() const { return Text(kSubjectDecoded); }
  std::string_view from_text() const { return Text(kFromText); }
  std::string_view to_text() const { return Text(kToText); }
  std::string_view cc_text() const { return Text(kCcText); }

  void set_sender_address(std::string_view text) { SetText(kSenderAddress, text); }
  void set_sender_name(std::string_view text) { SetText(kSenderName, text); }
  void set_sender_name_decoded(std::string_view text) { SetText(kSenderNameDecoded, text); }
  void set_subject(std::string_view text) { SetText(kSubject, text); }
  void set_subject_decoded(std::string_view text) { SetText(kSubjectDecoded, text); }
  void set_from_text(std::string_view text) { SetText(kFromText, text); }
  void set_to_text(std::string_view text) { SetText(kToText, text); }
  void set_cc_text(std::string_view text) { SetText(kCcText, text); }

  // Words 4-11 and what they refer to, unpacked (a copy).
  PartTable part_table() const;
  void set_part_table(const PartTable& table);

  // The same numbers, texts and part table, however they are laid out.
  bool operator==(const MessageSummary& other) const;

  // The eight strings in their stored order.
  std::array<std::string_view, kSummaryStringCount> Texts() const;

 private:
  friend std::optional<MessageSummary> DecodeMessageSummary(std::string_view blob);

  enum TextIndex : std::size_t {
    kSenderAddress, kSenderName, kSenderNameDecoded, kSubject,
    kSubjectDecoded, kFromText, kToText, kCcText,
  };
  std::string_view Text(std::size_t index) const;
  void SetText(std::size_t index, std::string_view text);

  // A blob holding the texts and the part table (checked when it was decoded), or empty for
  // a summary with neither. Its words other than 4-11 and the references are not read.
  std::string packed_;
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
