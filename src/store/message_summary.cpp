#include "store/message_summary.h"

#include <cstring>

#include "store/byte_reader.h"
#include "store/relocatable_blob.h"

namespace pelrion::store {
namespace {

// Word numbers of the fixed part.
constexpr std::size_t kWordHeaderLength = 1;
constexpr std::size_t kWordBodyLines = 2;
constexpr std::size_t kWordFileSize = 3;
constexpr std::size_t kWordMime = 4;
constexpr std::size_t kWordTextPartCount = 5;
constexpr std::size_t kWordFirstTextIndex = 6;
constexpr std::size_t kWordPartCount = 7;
constexpr std::size_t kWordPartsRef = 8;
constexpr std::size_t kWordSegmentCount = 9;
constexpr std::size_t kWordUuencodedCount = 10;
constexpr std::size_t kWordSegmentsRef = 11;
constexpr std::size_t kWordSent = 12;
constexpr std::size_t kWordReceived = 13;
constexpr std::size_t kWord14 = 14;
constexpr std::size_t kWordFirstString = 15;
constexpr std::size_t kWordDigest = 23;
constexpr std::size_t kWord27 = 27;

// Whether `count` entries of `entry_size` bytes starting at `offset` fit inside the blob.
bool ArrayInside(std::string_view blob, std::uint32_t offset, std::uint32_t count,
                 std::size_t entry_size) {
  const std::uint64_t end = std::uint64_t{offset} + std::uint64_t{count} * entry_size;
  return end <= blob.size();
}

// Whether a blob carries its eight strings: all eight offsets zero is the bare fixed part.
bool HasStringRefs(const BlobView& blob) {
  for (std::size_t i = 0; i < kSummaryStringCount; ++i) {
    if (blob.Word(4 * (kWordFirstString + i)).value_or(0) != 0) return true;
  }
  return false;
}

// The part table of a checked blob.
PartTable ReadPartTable(const BlobView& blob) {
  auto word = [&](std::size_t offset) { return blob.Word(offset).value_or(0); };
  auto text = [&](std::size_t ref_offset) { return std::string(blob.StringRef(ref_offset).value_or("")); };
  PartTable table;
  table.mime = word(4 * kWordMime);
  table.text_part_count = word(4 * kWordTextPartCount);
  table.first_text_index = word(4 * kWordFirstTextIndex);
  table.uuencoded_count = word(4 * kWordUuencodedCount);
  const std::uint32_t part_count = word(4 * kWordPartCount);
  const std::uint32_t parts_at = word(4 * kWordPartsRef);
  table.parts.reserve(part_count);
  for (std::uint32_t i = 0; i < part_count; ++i) {
    const std::size_t entry = parts_at + std::size_t{i} * kPartEntrySize;
    table.parts.push_back({word(entry), word(entry + 4), word(entry + 8), word(entry + 12),
                           mailformat::TransferEncodingFromWord(word(entry + 16)),
                           word(entry + 20), word(entry + 24), text(entry + 28),
                           text(entry + 32), text(entry + 36)});
  }
  const std::uint32_t segment_count = word(4 * kWordSegmentCount);
  const std::uint32_t segments_at = word(4 * kWordSegmentsRef);
  table.segments.reserve(segment_count);
  for (std::uint32_t i = 0; i < segment_count; ++i) {
    const std::size_t entry = segments_at + std::size_t{i} * kSegmentEntrySize;
    table.segments.push_back(
        {word(entry), word(entry + 4), word(entry + 8), word(entry + 12), text(entry + 16)});
  }
  return table;
}

// Whether every array and reference of a blob lies inside it (the decoder's checks).
bool ReferencesInside(const BlobView& blob) {
  const std::string_view bytes = blob.bytes();
  auto word = [&](std::size_t offset) { return blob.Word(offset).value_or(0); };
  auto text_ok = [&](std::size_t ref_offset) { return blob.StringRef(ref_offset).has_value(); };
  const std::uint32_t part_count = word(4 * kWordPartCount);
  const std::uint32_t parts_at = word(4 * kWordPartsRef);
  if (part_count != 0 && !ArrayInside(bytes, parts_at, part_count, kPartEntrySize)) return false;
  for (std::uint32_t i = 0; i < part_count; ++i) {
    const std::size_t entry = parts_at + std::size_t{i} * kPartEntrySize;
    if (!text_ok(entry + 28) || !text_ok(entry + 32) || !text_ok(entry + 36)) return false;
  }
  const std::uint32_t segment_count = word(4 * kWordSegmentCount);
  const std::uint32_t segments_at = word(4 * kWordSegmentsRef);
  if (segment_count != 0 &&
      !ArrayInside(bytes, segments_at, segment_count, kSegmentEntrySize)) {
    return false;
  }
  for (std::uint32_t i = 0; i < segment_count; ++i) {
    if (!text_ok(segments_at + std::size_t{i} * kSegmentEntrySize + 16)) return false;
  }
  if (HasStringRefs(blob)) {
    for (std::size_t i = 0; i < kSummaryStringCount; ++i) {
      if (!text_ok(4 * (kWordFirstString + i))) return false;
    }
  }
  return true;
}

// The stored blob of these numbers, texts and part table.
std::string LayOut(const MessageSummary& summary,
                   const std::array<std::string_view, kSummaryStringCount>& strings,
                   bool with_strings, const PartTable& table) {
  BlobBuilder blob(kSummaryFixedSize);
  blob.SetWord(4 * kWordHeaderLength, static_cast<std::uint32_t>(summary.header_length));
  blob.SetWord(4 * kWordBodyLines, summary.body_line_count);
  blob.SetWord(4 * kWordFileSize, summary.file_size);
  blob.SetWord(4 * kWordMime, table.mime);
  blob.SetWord(4 * kWordTextPartCount, table.text_part_count);
  blob.SetWord(4 * kWordFirstTextIndex, table.first_text_index);
  blob.SetWord(4 * kWordPartCount, static_cast<std::uint32_t>(table.parts.size()));
  blob.SetWord(4 * kWordSegmentCount, static_cast<std::uint32_t>(table.segments.size()));
  blob.SetWord(4 * kWordUuencodedCount, table.uuencoded_count);
  blob.SetWord(4 * kWordSent, static_cast<std::uint32_t>(summary.sent));
  blob.SetWord(4 * kWordReceived, static_cast<std::uint32_t>(summary.received));
  blob.SetWord(4 * kWord14, summary.word14);
  blob.SetWord(4 * kWord27, summary.word27);
  const std::string_view digest(reinterpret_cast<const char*>(summary.content_digest.data()),
                                summary.content_digest.size());
  for (std::size_t i = 0; i < 4; ++i) {
    blob.SetWord(4 * (kWordDigest + i), U32At(digest, 4 * i).value_or(0));
  }

  // Entry arrays first; their text references are filled once the texts are placed.
  std::uint32_t parts_at = 0;
  for (const PartEntry& part : table.parts) {
    const std::uint32_t at = blob.AppendWord(part.body_offset);
    if (parts_at == 0) parts_at = at;
    for (std::uint32_t word : {part.body_line_count, part.decoded_size, part.attachment,
                               mailformat::TransferEncodingWord(part.transfer_encoding),
                               part.group_identity, part.in_alternative,
                               0u, 0u, 0u}) {
      blob.AppendWord(word);
    }
  }
  blob.SetWord(4 * kWordPartsRef, parts_at);
  std::uint32_t segments_at = 0;
  for (const SegmentEntry& segment : table.segments) {
    const std::uint32_t at = blob.AppendWord(segment.data_offset);
    if (segments_at == 0) segments_at = at;
    for (std::uint32_t word : {segment.data_line_count, segment.data_size, segment.uuencoded, 0u}) {
      blob.AppendWord(word);
    }
  }
  blob.SetWord(4 * kWordSegmentsRef, segments_at);
  for (std::size_t i = 0; i < table.parts.size(); ++i) {
    const std::size_t entry = parts_at + i * kPartEntrySize;
    blob.AppendStringRef(entry + 28, table.parts[i].type);
    blob.AppendStringRef(entry + 32, table.parts[i].subtype);
    blob.AppendStringRef(entry + 36, table.parts[i].name);
  }
  for (std::size_t i = 0; i < table.segments.size(); ++i) {
    blob.AppendStringRef(segments_at + i * kSegmentEntrySize + 16, table.segments[i].name);
  }
  if (with_strings) {
    for (std::size_t i = 0; i < strings.size(); ++i) {
      blob.AppendStringRef(4 * (kWordFirstString + i), strings[i]);
    }
  }
  // Finish pads with (unpadded length mod 8) zero bytes -- not up to a multiple of 8 --
  // exactly as the stored blobs already on disk were written.
  return std::move(blob).Finish();
}

}  // namespace

std::string_view MessageSummary::Text(std::size_t index) const {
  if (packed_.empty()) return {};
  const BlobView blob(packed_);
  if (!HasStringRefs(blob)) return {};
  return blob.StringRef(4 * (kWordFirstString + index)).value_or(std::string_view());
}

std::array<std::string_view, kSummaryStringCount> MessageSummary::Texts() const {
  std::array<std::string_view, kSummaryStringCount> texts;
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = Text(i);
  return texts;
}

void MessageSummary::SetText(std::size_t index, std::string_view text) {
  auto texts = Texts();
  texts[index] = text;
  // The views point into the old blob, which stays until the new one is assigned.
  packed_ = LayOut(*this, texts, /*with_strings=*/true, part_table());
}

PartTable MessageSummary::part_table() const {
  if (packed_.empty()) return {};
  return ReadPartTable(BlobView(packed_));
}

void MessageSummary::set_part_table(const PartTable& table) {
  const BlobView blob(packed_);
  packed_ = LayOut(*this, Texts(), !packed_.empty() && HasStringRefs(blob), table);
}

bool MessageSummary::operator==(const MessageSummary& other) const {
  return header_length == other.header_length && body_line_count == other.body_line_count &&
         file_size == other.file_size && sent == other.sent && received == other.received &&
         word14 == other.word14 && word27 == other.word27 && has_strings == other.has_strings &&
         content_digest == other.content_digest && Texts() == other.Texts() &&
         part_table() == other.part_table();
}

std::string EncodeMessageSummary(const MessageSummary& summary) {
  const auto texts = summary.Texts();
  bool any_text = summary.has_strings;
  for (std::string_view text : texts) any_text |= !text.empty();
  return LayOut(summary, texts, any_text, summary.part_table());
}

std::optional<MessageSummary> DecodeMessageSummary(std::string_view bytes) {
  const BlobView blob(bytes);
  if (bytes.size() < kSummaryFixedSize || !blob.SizeMatches()) return std::nullopt;
  if (!ReferencesInside(blob)) return std::nullopt;
  // Every word of the fixed part lies inside the blob from here on.
  auto word = [&](std::size_t offset) { return blob.Word(offset).value_or(0); };

  MessageSummary summary;
  summary.header_length = static_cast<std::int32_t>(word(4 * kWordHeaderLength));
  summary.body_line_count = word(4 * kWordBodyLines);
  summary.file_size = word(4 * kWordFileSize);
  summary.sent = static_cast<mailformat::Timestamp>(word(4 * kWordSent));
  summary.received = static_cast<mailformat::Timestamp>(word(4 * kWordReceived));
  summary.word14 = word(4 * kWord14);
  summary.word27 = word(4 * kWord27);
  std::memcpy(summary.content_digest.data(), bytes.data() + 4 * kWordDigest,
              summary.content_digest.size());
  summary.has_strings = HasStringRefs(blob);
  summary.packed_.assign(bytes);
  return summary;
}

}  // namespace pelrion::store
