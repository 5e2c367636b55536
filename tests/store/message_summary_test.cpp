#include "store/message_summary.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pelrion::store {
namespace {

using mailformat::TransferEncoding;

// Expected blobs are laid out here by hand from the stored layout: 28 fixed words, then
// the entry arrays, their texts, the eight strings and (unpadded length mod 8) zero bytes.
void Le32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
void SetLe32(std::string& out, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
std::uint32_t GetLe32(const std::string& in, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(in[offset + i]);
  return value;
}
std::uint32_t Text(std::string& out, const std::string& text) {
  const auto at = static_cast<std::uint32_t>(out.size());
  out += text;
  out.push_back('\0');
  return at;
}
std::string Finish(std::string out) {
  out.append(out.size() % 8, '\0');
  SetLe32(out, 0, static_cast<std::uint32_t>(out.size()));
  return out;
}

crypto::Md5Digest SomeDigest() {
  crypto::Md5Digest digest;
  for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(0xA0 + i);
  return digest;
}

// The fixed words shared by the fixtures (word 0 and the references are set later).
std::string FixedPart(const std::vector<std::pair<int, std::uint32_t>>& words) {
  std::string out(kSummaryFixedSize, '\0');
  for (const auto& [word, value] : words) SetLe32(out, 4 * word, value);
  const crypto::Md5Digest digest = SomeDigest();
  for (std::size_t i = 0; i < digest.size(); ++i) out[92 + i] = static_cast<char>(digest[i]);
  return out;
}

void SetStrings(MessageSummary& summary) {
  summary.has_strings = true;
  summary.set_sender_address("ann@example.org");
  summary.set_sender_name("=?iso-8859-1?q?Ann_M=FCller?=");
  summary.set_sender_name_decoded("Ann M\xFCller");
  summary.set_subject("Hello");
  summary.set_subject_decoded("Hello");
  summary.set_from_text("Ann M\xFCller");
  summary.set_to_text("bob@example.net");
  summary.set_cc_text("");
}
const char* const kStrings[] = {"ann@example.org", "=?iso-8859-1?q?Ann_M=FCller?=",
                                "Ann M\xFCller",     "Hello",
                                "Hello",             "Ann M\xFCller",
                                "bob@example.net",   ""};

TEST(MessageSummaryLayoutTest, BareSummaryIsTheFixedPartOnly) {
  MessageSummary summary;  // as the mail check creates it: header length -1, rest zero
  std::string want(kSummaryFixedSize, '\0');
  SetLe32(want, 0, 112);
  SetLe32(want, 4, 0xFFFFFFFF);
  const std::string got = EncodeMessageSummary(summary);
  EXPECT_EQ(got, want);
  auto back = DecodeMessageSummary(got);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, summary);
  EXPECT_FALSE(back->has_strings);
}

TEST(MessageSummaryLayoutTest, MimeSummaryWithPartsAndStrings) {
  MessageSummary summary;
  summary.header_length = 812;
  summary.body_line_count = 40;
  summary.file_size = 3051;
  summary.sent = 1700000000;
  summary.received = -1;
  summary.word14 = 0x14141414;
  summary.word27 = 0x27272727;
  summary.content_digest = SomeDigest();
  PartTable table;
  table.mime = 1;
  table.text_part_count = 2;
  table.first_text_index = 0;
  table.parts = {
      {900, 10, 300, 0, TransferEncoding::kQuotedPrintable, 7, 1, "text", "plain", ""},
      {1300, 12, 700, 0, TransferEncoding::kBase64, 7, 1, "text", "html", ""},
      {2100, 20, 1500, 1, TransferEncoding::kBase64, 9, 0, "image", "png", "A123.png"},
  };
  summary.set_part_table(table);
  SetStrings(summary);

  std::string want = FixedPart({{1, 812},
                                {2, 40},
                                {3, 3051},
                                {4, 1},
                                {5, 2},
                                {6, 0},
                                {7, 3},
                                {8, 112},
                                {9, 0},
                                {10, 0},
                                {11, 0},
                                {12, 1700000000},
                                {13, 0xFFFFFFFF},
                                {14, 0x14141414},
                                {27, 0x27272727}});
  const std::uint32_t part_words[3][7] = {{900, 10, 300, 0, 3, 7, 1},
                                          {1300, 12, 700, 0, 2, 7, 1},
                                          {2100, 20, 1500, 1, 2, 9, 0}};
  for (const auto& words : part_words) {
    for (std::uint32_t word : words) Le32(want, word);
    for (int i = 0; i < 3; ++i) Le32(want, 0);  // text references, set below
  }
  const char* const part_texts[3][3] = {
      {"text", "plain", ""}, {"text", "html", ""}, {"image", "png", "A123.png"}};
  for (int p = 0; p < 3; ++p) {
    for (int t = 0; t < 3; ++t) SetLe32(want, 112 + 40 * p + 28 + 4 * t, Text(want, part_texts[p][t]));
  }
  for (int s = 0; s < 8; ++s) SetLe32(want, 4 * (15 + s), Text(want, kStrings[s]));
  want = Finish(want);

  const std::string got = EncodeMessageSummary(summary);
  EXPECT_EQ(got, want);
  auto back = DecodeMessageSummary(got);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, summary);
}

TEST(MessageSummaryLayoutTest, PlainSummaryWithSegments) {
  MessageSummary summary;
  summary.header_length = 400;
  summary.file_size = 5000;
  summary.sent = 5;
  summary.received = 6;
  summary.content_digest = SomeDigest();
  PartTable table;
  table.mime = 0;
  table.uuencoded_count = 1;
  table.segments = {{400, 3, 90, 0, ""}, {520, 50, 2000, 1, "a.zip"}};
  summary.set_part_table(table);
  SetStrings(summary);

  std::string want = FixedPart({{1, 400}, {3, 5000}, {9, 2}, {10, 1}, {11, 112}, {12, 5}, {13, 6}});
  const std::uint32_t segment_words[2][4] = {{400, 3, 90, 0}, {520, 50, 2000, 1}};
  for (const auto& words : segment_words) {
    for (std::uint32_t word : words) Le32(want, word);
    Le32(want, 0);
  }
  SetLe32(want, 112 + 16, Text(want, ""));
  SetLe32(want, 112 + 20 + 16, Text(want, "a.zip"));
  for (int s = 0; s < 8; ++s) SetLe32(want, 4 * (15 + s), Text(want, kStrings[s]));
  want = Finish(want);

  const std::string got = EncodeMessageSummary(summary);
  EXPECT_EQ(got, want);
  auto back = DecodeMessageSummary(got);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, summary);
}

// The blob ends with (unpadded length mod 8) zero bytes, not with the count that would
// reach a multiple of 8: an unpadded length of 121 gets 1 byte, 127 gets 7.
TEST(MessageSummaryLayoutTest, PaddingIsUnpaddedLengthModuloEight) {
  for (std::size_t extra = 0; extra < 8; ++extra) {
    SCOPED_TRACE("subject of " + std::to_string(extra) + " bytes");
    MessageSummary summary;
    summary.has_strings = true;
    summary.set_subject(std::string(extra, 'x'));
    // 112 fixed + eight terminators + the subject.
    const std::size_t unpadded = 112 + 8 + extra;
    const std::string got = EncodeMessageSummary(summary);
    EXPECT_EQ(got.size(), unpadded + unpadded % 8);
    EXPECT_EQ(GetLe32(got, 0), got.size());
    EXPECT_EQ(got.substr(unpadded), std::string(unpadded % 8, '\0'));
    auto back = DecodeMessageSummary(got);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->subject(), summary.subject());
  }
}

// A blob written with another placement of its texts (here: two references sharing one
// text, and texts before the arrays) is read by its references, not by position.
TEST(MessageSummaryDecodeTest, FollowsReferencesWhereverTheyPoint) {
  std::string blob = FixedPart({{4, 1}, {7, 1}});
  const std::uint32_t shared = Text(blob, "shared");
  const std::uint32_t empty = Text(blob, "");
  const auto parts_at = static_cast<std::uint32_t>(blob.size());
  for (int i = 0; i < 7; ++i) Le32(blob, i + 1);
  Le32(blob, shared);
  Le32(blob, shared);
  Le32(blob, empty);
  SetLe32(blob, 32, parts_at);
  for (int s = 0; s < 8; ++s) SetLe32(blob, 4 * (15 + s), s % 2 ? shared : empty);
  blob = Finish(blob);

  auto summary = DecodeMessageSummary(blob);
  ASSERT_TRUE(summary.has_value());
  const PartTable table = summary->part_table();
  ASSERT_EQ(table.parts.size(), 1u);
  const PartEntry& part = table.parts[0];
  EXPECT_EQ(part.body_offset, 1u);
  EXPECT_EQ(part.in_alternative, 7u);
  EXPECT_EQ(part.type, "shared");
  EXPECT_EQ(part.subtype, "shared");
  EXPECT_EQ(part.name, "");
  EXPECT_EQ(summary->sender_address(), "");
  EXPECT_EQ(summary->sender_name(), "shared");
  EXPECT_EQ(summary->cc_text(), "shared");
}

// A loaded summary keeps the blob it was read from; it must still compare and encode by
// meaning: equal to the same summary built field by field, written back in the standard
// layout, and with its numbers taken from the fields (not from the words it was read with).
TEST(MessageSummaryPackedTest, LoadedBlobEncodesLikeTheSameSummaryBuiltByFields) {
  std::string blob = FixedPart({{1, 812}, {3, 4000}, {4, 1}, {7, 1}});
  const std::uint32_t shared = Text(blob, "shared");
  const std::uint32_t empty = Text(blob, "");
  const auto parts_at = static_cast<std::uint32_t>(blob.size());
  for (int i = 0; i < 7; ++i) Le32(blob, i + 1);
  Le32(blob, shared);
  Le32(blob, shared);
  Le32(blob, empty);
  SetLe32(blob, 32, parts_at);
  for (int s = 0; s < 8; ++s) SetLe32(blob, 4 * (15 + s), s % 2 ? shared : empty);
  blob = Finish(blob);
  auto loaded = DecodeMessageSummary(blob);
  ASSERT_TRUE(loaded.has_value());

  MessageSummary built;
  built.header_length = 812;
  built.file_size = 4000;
  built.content_digest = SomeDigest();
  built.has_strings = true;
  PartTable table;
  table.mime = 1;
  table.parts = {{1, 2, 3, 4, mailformat::TransferEncodingFromWord(5), 6, 7, "shared", "shared", ""}};
  built.set_part_table(table);
  built.set_sender_name("shared");
  built.set_subject("shared");
  built.set_from_text("shared");
  built.set_cc_text("shared");

  EXPECT_EQ(*loaded, built);
  EXPECT_EQ(EncodeMessageSummary(*loaded), EncodeMessageSummary(built));
  loaded->file_size = 4001;
  loaded->header_length = -1;
  const std::string rewritten = EncodeMessageSummary(*loaded);
  EXPECT_EQ(GetLe32(rewritten, 4 * 3), 4001u);
  EXPECT_EQ(GetLe32(rewritten, 4 * 1), 0xFFFFFFFFu);
  EXPECT_NE(*loaded, built);
}

// Every setter replaces its own text or the part table and leaves the rest as it was,
// whichever was set first.
TEST(MessageSummaryPackedTest, EachSetterChangesOnlyItsOwnField) {
  using Setter = void (MessageSummary::*)(std::string_view);
  const Setter setters[kSummaryStringCount] = {
      &MessageSummary::set_sender_address, &MessageSummary::set_sender_name,
      &MessageSummary::set_sender_name_decoded, &MessageSummary::set_subject,
      &MessageSummary::set_subject_decoded, &MessageSummary::set_from_text,
      &MessageSummary::set_to_text, &MessageSummary::set_cc_text};
  PartTable table;
  table.mime = 1;
  table.parts = {{900, 10, 300, 0, TransferEncoding::kQuotedPrintable, 7, 1, "text", "plain", "a.txt"}};
  table.segments = {{520, 50, 2000, 1, "b.zip"}};
  PartTable other = table;
  other.parts.push_back({1300, 12, 700, 0, TransferEncoding::kBase64, 7, 1, "text", "html", ""});

  for (bool table_first : {true, false}) {
    MessageSummary base;
    if (table_first) base.set_part_table(table);
    SetStrings(base);
    if (!table_first) base.set_part_table(table);
    ASSERT_EQ(base.part_table(), table);
    for (std::size_t i = 0; i < kSummaryStringCount; ++i) ASSERT_EQ(base.Texts()[i], kStrings[i]);

    for (std::size_t i = 0; i < kSummaryStringCount; ++i) {
      SCOPED_TRACE("text " + std::to_string(i) + (table_first ? ", table first" : ""));
      MessageSummary changed = base;
      (changed.*setters[i])("new text " + std::to_string(i));
      auto want = base.Texts();
      const std::string replacement = "new text " + std::to_string(i);
      want[i] = replacement;
      EXPECT_EQ(changed.Texts(), want);
      EXPECT_EQ(changed.part_table(), table);
      EXPECT_NE(changed, base);
    }
    MessageSummary retabled = base;
    retabled.set_part_table(other);
    EXPECT_EQ(retabled.part_table(), other);
    EXPECT_EQ(retabled.Texts(), base.Texts());
    auto back = DecodeMessageSummary(EncodeMessageSummary(retabled));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, retabled);
  }
}

struct MalformedBlob {
  const char* name;
  std::string blob;
};

std::string ValidBlob() {
  MessageSummary summary;
  PartTable table;
  table.mime = 1;
  table.parts = {{1, 2, 3, 0, TransferEncoding::k7Bit, 5, 0, "text", "plain", "n"}};
  table.segments = {{1, 2, 3, 1, "seg"}};
  summary.set_part_table(table);
  SetStrings(summary);
  return EncodeMessageSummary(summary);
}

std::vector<MalformedBlob> MalformedBlobs() {
  std::vector<MalformedBlob> rows;
  const std::string valid = ValidBlob();
  auto with_word = [&](std::size_t offset, std::uint32_t value) {
    std::string blob = valid;
    SetLe32(blob, offset, value);
    return blob;
  };
  rows.push_back({"empty", ""});
  {
    std::string blob(111, '\0');
    SetLe32(blob, 0, 111);
    rows.push_back({"shorter than the fixed part", blob});
  }
  rows.push_back({"size word larger than blob", with_word(0, valid.size() + 8)});
  rows.push_back({"size word smaller than blob", with_word(0, 112)});
  rows.push_back({"part array passes the end", with_word(32, valid.size() - 39)});
  rows.push_back({"part count too large", with_word(28, 1000)});
  rows.push_back({"part count wraps 32 bits", with_word(28, 0x80000000u)});
  rows.push_back({"segment array passes the end", with_word(44, valid.size() - 19)});
  rows.push_back({"segment count too large", with_word(36, 0xFFFFFFFFu)});
  rows.push_back({"part type offset outside", with_word(112 + 28, valid.size())});
  rows.push_back({"part name offset far outside", with_word(112 + 36, 0xFFFFFFF0u)});
  rows.push_back({"segment name offset outside", with_word(152 + 16, valid.size() + 1)});
  rows.push_back({"string offset outside", with_word(4 * 22, valid.size())});
  {
    // The last string runs to the end of the blob without a terminator.
    std::string blob = valid;
    const std::size_t last = blob.size() - 1;
    blob[last] = 'x';
    SetLe32(blob, 4 * 22, static_cast<std::uint32_t>(last));
    rows.push_back({"string without terminator", blob});
  }
  return rows;
}

TEST(MessageSummaryDecodeTest, RejectsReferencesOutsideTheBlob) {
  ASSERT_TRUE(DecodeMessageSummary(ValidBlob()).has_value());
  for (const MalformedBlob& row : MalformedBlobs()) {
    SCOPED_TRACE(row.name);
    EXPECT_FALSE(DecodeMessageSummary(row.blob).has_value());
  }
}

}  // namespace
}  // namespace pelrion::store
