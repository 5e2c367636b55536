#include "mailformat/uuencode.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "mailformat/sextet_block.h"

namespace pelrion::mailformat {
namespace {

constexpr int kMaxLineBytes = 45;
// The fast path writes 2 bytes of slack after the 12 bytes of 4 groups.
static_assert(kUudecodeRoom >= 3 * ((kMaxLineBytes + 2) / 3) + 2);

// One table per position in a group of 4 characters: the character's 6 bits ((c - 32)
// modulo 64) already shifted into place, or a bit above the 24 data bits for a character
// outside space..backquote, so one test per group finds a bad character.
constexpr std::uint32_t kBadChar = 0x01000000;

constexpr std::array<std::uint32_t, 256> MakeGroupTable(int shift) {
  std::array<std::uint32_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const bool valid = c >= ' ' && c <= '`';
    table[static_cast<std::size_t>(c)] =
        valid ? static_cast<std::uint32_t>((c - ' ') & 63) << shift : kBadChar;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kGroup0 = MakeGroupTable(18);
constexpr std::array<std::uint32_t, 256> kGroup1 = MakeGroupTable(12);
constexpr std::array<std::uint32_t, 256> kGroup2 = MakeGroupTable(6);
constexpr std::array<std::uint32_t, 256> kGroup3 = MakeGroupTable(0);

// Groups of 4 characters that hold n bytes.
constexpr std::size_t GroupsOf(int n) {
  return static_cast<std::size_t>(n + 2) / 3;
}

// Whether every character of text lies between space and backquote.
bool AllUuChars(std::string_view text) {
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
#if defined(__SSE2__)
  if (n >= 16) {
    // Signed compares: bytes of 0x80 and above are negative and fail too. The last block is
    // the text's final 16 bytes; checking some bytes twice is harmless.
    const auto clean = [](const unsigned char* block) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
      const __m128i ok = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(' ' - 1)),
                                       _mm_cmplt_epi8(x, _mm_set1_epi8('`' + 1)));
      return _mm_movemask_epi8(ok) == 0xFFFF;
    };
    for (std::size_t i = 0; i + 16 < n; i += 16) {
      if (!clean(in + i)) return false;
    }
    return clean(in + n - 16);
  }
#endif
  std::uint32_t seen = 0;
  for (std::size_t i = 0; i < n; ++i) seen |= kGroup3[in[i]];
  return seen < kBadChar;
}

// The byte count of the line from its count character, or the error code that its count
// character or its length gives.
int CheckedCount(std::string_view line) {
  if (line.empty()) return kUudecodeMalformed;
  const int n = static_cast<unsigned char>(line[0]) - ' ';
  if (n >= 0 && n % 64 == 0) return kUudecodeZeroLength;
  if (n < 1 || n > kMaxLineBytes) return kUudecodeMalformed;
  if (line.size() < static_cast<std::size_t>(4 * ((n + 1) / 3))) return kUudecodeMalformed;
  // Every group is read whole; a group cut short by the end of the line is malformed (the
  // length check above alone would let the last group run past the line).
  if (line.size() < 1 + 4 * GroupsOf(n)) return kUudecodeMalformed;
  return n;
}

}  // namespace

int UudecodeLineInto(std::string_view line, char* out) {
  const int n = CheckedCount(line);
  if (n < 0) return n;
  const std::size_t groups = GroupsOf(n);
  auto* const decoded = reinterpret_cast<unsigned char*>(out);
  int produced = 0;
  std::size_t g = 0;
#if defined(__SSE2__)
  // 4 groups at a time while every character is valid; the rest, or a block holding a bad
  // character, goes through the tables below.
  for (; g + 4 <= groups; g += 4) {
    const auto* in = reinterpret_cast<const unsigned char*>(line.data()) + 1 + 4 * g;
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    // Signed compares: bytes of 0x80 and above are negative and fail too.
    const __m128i ok = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(' ' - 1)),
                                     _mm_cmplt_epi8(x, _mm_set1_epi8('`' + 1)));
    if (_mm_movemask_epi8(ok) != 0xFFFF) break;
    PutSextetBlock(_mm_and_si128(_mm_sub_epi8(x, _mm_set1_epi8(' ')), _mm_set1_epi8(63)),
                   decoded + produced);
    produced += 12;
  }
#endif
  for (; g < groups; ++g) {
    const auto* in = reinterpret_cast<const unsigned char*>(line.data()) + 1 + 4 * g;
    const std::uint32_t v = kGroup0[in[0]] | kGroup1[in[1]] | kGroup2[in[2]] | kGroup3[in[3]];
    if (v >= kBadChar) return kUudecodeMalformed;
    decoded[produced++] = static_cast<unsigned char>(v >> 16);
    decoded[produced++] = static_cast<unsigned char>(v >> 8);
    decoded[produced++] = static_cast<unsigned char>(v);
  }
  return n;
}

int UudecodeLine(std::string_view line, std::string& out) {
  char decoded[kUudecodeRoom];
  const int n = UudecodeLineInto(line, decoded);
  if (n > 0) out.append(decoded, static_cast<std::size_t>(n));
  return n;
}

int UudecodedLineSize(std::string_view line) {
  const int n = CheckedCount(line);
  if (n < 0) return n;
  return AllUuChars(line.substr(1, 4 * GroupsOf(n))) ? n : kUudecodeMalformed;
}

}  // namespace pelrion::mailformat
