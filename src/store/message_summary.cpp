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

// The eight strings in their stored order (words 15-22).
template <typename Summary>
auto StringFields(Summary& summary) {
  return std::array{&summary.sender_address, &summary.sender_name,
                    &summary.sender_name_decoded, &summary.subject,
                    &summary.subject_decoded, &summary.from_text,
                    &summary.to_text, &summary.cc_text};
}

}  // namespace

std::string EncodeMessageSummary(const MessageSummary& summary) {
  const PartTable& table = summary.part_table;
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
                               part.group_identity, part.in_alternative, 0u, 0u, 0u}) {
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

  const auto strings = StringFields(summary);
  bool any_text = summary.has_strings;
  for (const std::string* text : strings) any_text |= !text->empty();
  if (any_text) {
    for (std::size_t i = 0; i < strings.size(); ++i) {
      blob.AppendStringRef(4 * (kWordFirstString + i), *strings[i]);
    }
  }
  // Finish pads with (unpadded length mod 8) zero bytes -- not up to a multiple of 8 --
  // exactly as the stored blobs already on disk were written.
  return std::move(blob).Finish();
}

std::optional<MessageSummary> DecodeMessageSummary(std::string_view bytes) {
  const BlobView blob(bytes);
  if (bytes.size() < kSummaryFixedSize || !blob.SizeMatches()) return std::nullopt;
  // Every word of the fixed part lies inside the blob from here on.
  auto word = [&](std::size_t offset) { return blob.Word(offset).value_or(0); };
  auto text = [&](std::size_t ref_offset) -> std::optional<std::string> {
    auto found = blob.StringRef(ref_offset);
    if (!found) return std::nullopt;
    return std::string(*found);
  };

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

  PartTable& table = summary.part_table;
  table.mime = word(4 * kWordMime);
  table.text_part_count = word(4 * kWordTextPartCount);
  table.first_text_index = word(4 * kWordFirstTextIndex);
  table.uuencoded_count = word(4 * kWordUuencodedCount);

  const std::uint32_t part_count = word(4 * kWordPartCount);
  const std::uint32_t parts_at = word(4 * kWordPartsRef);
  if (part_count != 0 && !ArrayInside(bytes, parts_at, part_count, kPartEntrySize)) {
    return std::nullopt;
  }
  table.parts.reserve(part_count);
  for (std::uint32_t i = 0; i < part_count; ++i) {
    const std::size_t entry = parts_at + std::size_t{i} * kPartEntrySize;
    PartEntry part;
    part.body_offset = word(entry);
    part.body_line_count = word(entry + 4);
    part.decoded_size = word(entry + 8);
    part.attachment = word(entry + 12);
    part.transfer_encoding = mailformat::TransferEncodingFromWord(word(entry + 16));
    part.group_identity = word(entry + 20);
    part.in_alternative = word(entry + 24);
    auto type = text(entry + 28);
    auto subtype = text(entry + 32);
    auto name = text(entry + 36);
    if (!type || !subtype || !name) return std::nullopt;
    part.type = std::move(*type);
    part.subtype = std::move(*subtype);
    part.name = std::move(*name);
    table.parts.push_back(std::move(part));
  }

  const std::uint32_t segment_count = word(4 * kWordSegmentCount);
  const std::uint32_t segments_at = word(4 * kWordSegmentsRef);
  if (segment_count != 0 && !ArrayInside(bytes, segments_at, segment_count, kSegmentEntrySize)) {
    return std::nullopt;
  }
  table.segments.reserve(segment_count);
  for (std::uint32_t i = 0; i < segment_count; ++i) {
    const std::size_t entry = segments_at + std::size_t{i} * kSegmentEntrySize;
    SegmentEntry segment;
    segment.data_offset = word(entry);
    segment.data_line_count = word(entry + 4);
    segment.data_size = word(entry + 8);
    segment.uuencoded = word(entry + 12);
    auto name = text(entry + 16);
    if (!name) return std::nullopt;
    segment.name = std::move(*name);
    table.segments.push_back(std::move(segment));
  }

  // All eight offsets zero: the bare fixed part, before arrival analysis added strings.
  bool any_offset = false;
  for (std::size_t i = 0; i < kSummaryStringCount; ++i) {
    any_offset |= word(4 * (kWordFirstString + i)) != 0;
  }
  if (any_offset) {
    summary.has_strings = true;
    const auto strings = StringFields(summary);
    for (std::size_t i = 0; i < strings.size(); ++i) {
      auto found = text(4 * (kWordFirstString + i));
      if (!found) return std::nullopt;
      *strings[i] = std::move(*found);
    }
  }
  return summary;
}

}  // namespace pelrion::store
