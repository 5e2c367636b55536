// Decoding a part from its file into memory agrees with decoding the same lines one by one with
// the string forms of the decoders and cutting the result at the capacity: on random, partly
// damaged bodies, for every encoding, whole and cut short, and when lines are missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/base64.h"
#include "mailformat/line_reader.h"
#include "mailformat/part_decoder.h"
#include "mailformat/quoted_printable.h"
#include "mailformat/uuencode.h"
#include "mime_test_helpers.h"

namespace pelrion::mailformat {
namespace {

struct Outcome {
  bool ok = false;
  std::string bytes;
};

// The reference: reads the lines by splitting at LF, decodes each with the string forms and
// cuts the whole at capacity; fails where a line is missing or cannot be decoded.
Outcome ReferenceDecode(std::string_view file, std::uint32_t offset, std::uint32_t line_count,
                        bool mime, TransferEncoding encoding, std::size_t capacity) {
  Outcome outcome;
  std::size_t start = offset;
  for (std::uint32_t i = 0; i < line_count; ++i) {
    if (outcome.bytes.size() >= capacity) break;
    const std::size_t lf = file.find('\n', start);
    if (start > file.size() || lf == std::string_view::npos) return outcome;
    const std::string_view line = file.substr(start, lf + 1 - start);
    start = lf + 1;
    std::string piece;
    if (!mime) {
      if (UudecodeLine(StripLineEnd(line), piece) < 0) return outcome;
    } else if (encoding == TransferEncoding::kBase64) {
      if (!Base64Decode(line, piece).ok) return outcome;
    } else if (encoding == TransferEncoding::kQuotedPrintable) {
      QuotedPrintableDecodeLine(StripLineEnd(line), piece);
    } else {
      piece = line;
    }
    outcome.bytes += piece.substr(0, capacity - outcome.bytes.size());
  }
  outcome.ok = true;
  return outcome;
}

// A random line of the kind: mostly well-formed, sometimes damaged (a junk byte, "=" in an odd
// place, a space, 8-bit bytes), with CR LF or a bare LF, now and then very long.
std::string RandomLine(std::mt19937& rng, bool mime, TransferEncoding encoding) {
  const auto pick = [&rng](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  std::size_t data = pick(10) == 0 ? 3000 + pick(5000) : pick(60);
  // Base64 lines are often clean (whole groups, no damage), so that runs of them occur.
  const bool clean = encoding == TransferEncoding::kBase64 && mime && pick(2) == 0;
  if (clean) data -= data % 3;
  const std::string raw = mimetest::RandomBytes(static_cast<std::uint32_t>(rng()), data);
  std::string line;
  if (!mime) {
    line = mimetest::UuencodeBlock(raw.substr(0, std::min<std::size_t>(raw.size(), 45)));
    line = line.substr(0, line.find('\r'));
  } else if (encoding == TransferEncoding::kBase64) {
    line = Base64Encode(raw);
  } else if (encoding == TransferEncoding::kQuotedPrintable) {
    line = QuotedPrintableEncode(raw);
    std::replace(line.begin(), line.end(), '\n', ' ');
  } else {
    line = raw;
    std::replace(line.begin(), line.end(), '\n', 'x');
  }
  const std::size_t damage = clean ? 0 : pick(4);
  for (std::size_t i = 0; i < damage && !line.empty(); ++i) {
    static constexpr char kJunk[] = {'=', '=', ' ', '\t', '!', '\x80', '\xff', '\0', '`', '\r'};
    line[pick(line.size())] = kJunk[pick(sizeof kJunk)];
  }
  if (!clean && pick(3) == 0 && !line.empty() && pick(2) == 0) line.back() = '=';
  line += pick(4) == 0 ? "\n" : "\r\n";
  return line;
}

TEST(PartDecoderDifferentialTest, MemoryDecodingAgreesWithLineByLineReference) {
  struct Kind {
    const char* name;
    bool mime;
    TransferEncoding encoding;
  };
  const Kind kinds[] = {{"7bit", true, TransferEncoding::k7Bit},
                        {"base64", true, TransferEncoding::kBase64},
                        {"quoted-printable", true, TransferEncoding::kQuotedPrintable},
                        {"uuencoded", false, TransferEncoding::k7Bit}};
  mimetest::TempDir dir;
  const std::string path = dir.File("message.eml");
  std::mt19937 rng(20261210);
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    for (int round = 0; round < 40; ++round) {
      SCOPED_TRACE("round " + std::to_string(round));
      const std::string prefix = "Header: x\r\n\r\n";
      std::string file = prefix;
      const std::uint32_t lines = std::uniform_int_distribution<std::uint32_t>(0, 60)(rng);
      for (std::uint32_t i = 0; i < lines; ++i) file += RandomLine(rng, kind.mime, kind.encoding);
      // Sometimes the body ends without a final line end, or in the middle of a line.
      if (round % 3 == 0) file += "tail-without-lf";
      mimetest::WriteFile(path, file);
      const auto offset = static_cast<std::uint32_t>(prefix.size());
      const Outcome whole =
          ReferenceDecode(file, offset, lines, kind.mime, kind.encoding, SIZE_MAX);
      const std::size_t full = whole.bytes.size();
      const std::uint32_t asked[] = {lines, lines + 1};
      for (std::uint32_t line_count : asked) {
        for (std::size_t capacity : {full, full + 7, full / 2, full / 3 + 1, std::size_t{1},
                                     std::size_t{0}}) {
          SCOPED_TRACE("lines " + std::to_string(line_count) + " capacity " +
                       std::to_string(capacity));
          const Outcome want =
              ReferenceDecode(file, offset, line_count, kind.mime, kind.encoding, capacity);
          std::string buffer(capacity + 1, '\x5a');
          std::size_t placed = 99;
          const bool ok = DecodePartToMemory(offset, line_count, kind.mime, kind.encoding, path,
                                             buffer.data(), capacity, placed);
          EXPECT_EQ(ok, want.ok);
          ASSERT_EQ(placed, want.bytes.size());
          EXPECT_TRUE(buffer.compare(0, placed, want.bytes) == 0) << "decoded bytes differ";
          EXPECT_EQ(buffer[capacity], '\x5a') << "wrote past the capacity";
        }
        std::string pieces;
        const bool ok = DecodePartPieces(offset, line_count, kind.mime, kind.encoding, path,
                                         [&pieces](std::string_view piece) {
                                           pieces += piece;
                                           return true;
                                         });
        const Outcome want =
            ReferenceDecode(file, offset, line_count, kind.mime, kind.encoding, SIZE_MAX);
        EXPECT_EQ(ok, want.ok);
        if (ok) {
          EXPECT_TRUE(pieces == want.bytes) << "pieces differ";
        }
      }
    }
  }
}

}  // namespace
}  // namespace pelrion::mailformat
