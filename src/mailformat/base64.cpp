#include "mailformat/base64.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "mailformat/sextet_block.h"

namespace pelrion::mailformat {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Decoder classes beyond the 64 digit values.
constexpr std::uint8_t kInvalid = 0xFF;
constexpr std::uint8_t kSkip = 0xFE;
constexpr std::uint8_t kPad = 0xFD;

constexpr std::array<std::uint8_t, 256> MakeDecodeTable() {
  std::array<std::uint8_t, 256> table{};
  for (auto& entry : table) entry = kInvalid;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
  for (unsigned char c : {' ', '\t', '\r', '\n', '\v', '\f'}) table[c] = kSkip;
  table['='] = kPad;
  return table;
}

constexpr std::array<std::uint8_t, 256> kDecode = MakeDecodeTable();

// The fast path decodes a whole group of 4 characters with one table per position: each
// table holds the digit's value already shifted into place, and every byte that is not a
// digit holds a bit above the 24 data bits, so one test tells whether the group was clean.
constexpr std::uint32_t kNotDigit = 0x01000000;

constexpr std::array<std::uint32_t, 256> MakeGroupTable(int shift) {
  std::array<std::uint32_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const std::uint8_t v = kDecode[static_cast<std::size_t>(c)];
    table[static_cast<std::size_t>(c)] = v < 64 ? std::uint32_t{v} << shift : kNotDigit;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kGroup0 = MakeGroupTable(18);
constexpr std::array<std::uint32_t, 256> kGroup1 = MakeGroupTable(12);
constexpr std::array<std::uint32_t, 256> kGroup2 = MakeGroupTable(6);
constexpr std::array<std::uint32_t, 256> kGroup3 = MakeGroupTable(0);

// Writes the 3 bytes of a decoded group (v's low 24 bits) at p. On little-endian machines this
// is one 4-byte store whose last byte is overwritten by the next group or left as slack.
inline void PutGroup(unsigned char* p, std::uint32_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    const std::uint32_t bytes = __builtin_bswap32(v << 8);
    std::memcpy(p, &bytes, 4);
  } else {
    p[0] = static_cast<unsigned char>(v >> 16);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v);
  }
}

inline std::uint32_t GroupValue(const unsigned char* in) {
  return kGroup0[in[0]] | kGroup1[in[1]] | kGroup2[in[2]] | kGroup3[in[3]];
}

#if defined(__SSE2__)
// Decodes 16 characters at in to 12 bytes at p (with two bytes of slack written after them)
// when all 16 are digits; false, writing nothing, otherwise. The slack stays inside
// Base64DecodeRoom: at least 16 characters are left to read, so the output so far is at least
// 12 bytes short of the whole groups of the text.
inline bool DecodeBlock16(const unsigned char* in, unsigned char* p) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  // Signed byte compares: bytes of 0x80 and above are negative and so in no range.
  const auto in_range = [x](char low, char high) {
    return _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(static_cast<char>(low - 1))),
                         _mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(high + 1))));
  };
  const __m128i upper = in_range('A', 'Z');
  const __m128i lower = in_range('a', 'z');
  const __m128i decimal = in_range('0', '9');
  const __m128i plus = _mm_cmpeq_epi8(x, _mm_set1_epi8('+'));
  const __m128i slash = _mm_cmpeq_epi8(x, _mm_set1_epi8('/'));
  const __m128i digit =
      _mm_or_si128(_mm_or_si128(upper, lower), _mm_or_si128(decimal, _mm_or_si128(plus, slash)));
  if (_mm_movemask_epi8(digit) != 0xFFFF) return false;
  // Each character's value: the character plus its range's offset.
  const __m128i offset = _mm_or_si128(
      _mm_or_si128(_mm_and_si128(upper, _mm_set1_epi8(-'A')),
                   _mm_and_si128(lower, _mm_set1_epi8(static_cast<char>(26 - 'a')))),
      _mm_or_si128(_mm_and_si128(decimal, _mm_set1_epi8(52 - '0')),
                   _mm_or_si128(_mm_and_si128(plus, _mm_set1_epi8(62 - '+')),
                                _mm_and_si128(slash, _mm_set1_epi8(63 - '/')))));
  PutSextetBlock(_mm_add_epi8(x, offset), p);
  return true;
}
#endif

#if defined(__x86_64__) || defined(__i386__)
#define PELRION_BASE64_SSSE3 1
#include <tmmintrin.h>

// Decodes 16-character blocks at in to 12 bytes each at p while every character of the block
// is a digit, then the whole groups that start the first block holding anything else (a line's
// last digits before its line end); advances in and p. True when it stopped at such a block,
// so that the group at in holds a non-digit; false when fewer than 16 characters were left. The bytes of that block's other lanes
// are written too, as slack: 12 bytes for 16 characters still to read stay within
// Base64DecodeRoom. Uses byte shuffles (SSSE3, checked at run time): one table lookup per
// nibble classifies a byte, another gives the offset from character to value, where the SSE2
// path needs a compare per range.
__attribute__((target("ssse3"))) bool DecodeBlocksSsse3(const unsigned char*& in,
                                                        const unsigned char* end,
                                                        unsigned char*& p) {
  // A byte is a digit when the entries for its low and its high nibble share no bit.
  const __m128i low_classes = _mm_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11,
                                            0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m128i high_classes = _mm_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10,
                                             0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  // Offset by high nibble ("/" moved to entry 1 so it is told apart from "+").
  const __m128i offsets = _mm_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  // 0x2F keeps a nibble and clears bit 7 (the shuffle reads bits 0..3 and 7 only).
  const __m128i nibble = _mm_set1_epi8(0x2F);
  const __m128i slash = _mm_set1_epi8('/');
  while (end - in >= 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i high = _mm_and_si128(_mm_srli_epi32(x, 4), nibble);
    const __m128i classes = _mm_and_si128(_mm_shuffle_epi8(low_classes, _mm_and_si128(x, nibble)),
                                          _mm_shuffle_epi8(high_classes, high));
    const int bad = _mm_movemask_epi8(_mm_cmpgt_epi8(classes, _mm_setzero_si128()));
    const int groups_taken = bad == 0 ? 4 : __builtin_ctz(static_cast<unsigned>(bad)) / 4;
    if (groups_taken == 0) return true;
    const __m128i roll = _mm_add_epi8(_mm_cmpeq_epi8(x, slash), high);
    const __m128i values = _mm_add_epi8(x, _mm_shuffle_epi8(offsets, roll));
    // Pairs of values into 12 bits, pairs of those into 24 bits per 32-bit lane, then each
    // lane's 3 bytes in memory order.
    const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
    const __m128i groups = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
    const __m128i bytes = _mm_shuffle_epi8(
        groups, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), bytes);
    const std::int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(bytes, 8));
    std::memcpy(p + 8, &last, 4);
    p += 3 * groups_taken;
    in += 4 * groups_taken;
    if (groups_taken < 4) return true;
  }
  return false;
}

// Whether this processor has SSSE3 (asked once); tests turn it off to check the SSE2 path.
bool& UseSsse3() {
  static bool use = __builtin_cpu_supports("ssse3");
  return use;
}
#endif

// Decodes whole clean groups from `in` while at least 4 characters remain before `end`;
// stops at the first group holding anything but digits. Advances in and p. The output needs
// one byte of room beyond the 3 bytes of each group taken.
inline void DecodeCleanGroups(const unsigned char*& in, const unsigned char* end,
                              unsigned char*& p) {
#if defined(PELRION_BASE64_SSSE3)
  if (UseSsse3()) {
    if (DecodeBlocksSsse3(in, end, p)) return;
  } else
#endif
  {
#if defined(__SSE2__)
    while (end - in >= 16 && DecodeBlock16(in, p)) {
      p += 12;
      in += 16;
    }
#endif
  }
  while (end - in >= 8) {
    const std::uint32_t v0 = GroupValue(in);
    const std::uint32_t v1 = GroupValue(in + 4);
    if ((v0 | v1) >= kNotDigit) break;
    PutGroup(p, v0);
    PutGroup(p + 3, v1);
    p += 6;
    in += 8;
  }
  while (end - in >= 4) {
    const std::uint32_t v = GroupValue(in);
    if (v >= kNotDigit) return;
    PutGroup(p, v);
    p += 3;
    in += 4;
  }
}

// Per byte for the size count: bit 0 a digit, bit 1 a byte that ends or fails decoding.
constexpr std::uint8_t kCountDigit = 1;
constexpr std::uint8_t kCountStop = 2;

constexpr std::array<std::uint8_t, 256> MakeCountTable() {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const std::uint8_t v = kDecode[static_cast<std::size_t>(c)];
    table[static_cast<std::size_t>(c)] = v < 64 ? kCountDigit : v == kSkip ? 0 : kCountStop;
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kCount = MakeCountTable();

#if defined(__SSE2__)
// Masks of the digits and of the white space among 16 bytes (0xFF where it is one).
// Signed byte compares: bytes of 0x80 and above are negative and so in no range.
inline void ClassifyBlock(__m128i x, __m128i& digit, __m128i& space) {
  const auto in_range = [](__m128i v, char low, char high) {
    return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(low - 1))),
                         _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(high + 1))));
  };
  // Setting bit 0x20 maps both letter ranges onto a..z and no other byte into it.
  digit = _mm_or_si128(in_range(_mm_or_si128(x, _mm_set1_epi8(0x20)), 'a', 'z'),
                       _mm_or_si128(in_range(x, '0', '9'),
                                    _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('+')),
                                                 _mm_cmpeq_epi8(x, _mm_set1_epi8('/')))));
  // TAB, LF, VT, FF, CR are 9..13.
  space = _mm_or_si128(in_range(x, '\t', '\r'), _mm_cmpeq_epi8(x, _mm_set1_epi8(' ')));
}

// Set bits among the low 16 (no popcount instruction is assumed).
inline std::size_t CountBits16(unsigned v) {
  v = v - ((v >> 1) & 0x5555u);
  v = (v & 0x3333u) + ((v >> 2) & 0x3333u);
  v = (v + (v >> 4)) & 0x0F0Fu;
  return (v + (v >> 8)) & 0x1Fu;
}

// Counts the digits of [in, end) 16 bytes at a time while every byte is a digit or white
// space; stops before the first block holding anything else. When the text is at least 16
// bytes long, a last partial block is read as the text's final 16 bytes. Advances in.
inline std::size_t CountCleanBlocks(const unsigned char*& in, const unsigned char* end,
                                    const unsigned char* begin) {
  std::size_t digits = 0;
  __m128i digit;
  __m128i space;
  // Whole blocks: a digit lane is -1, so subtracting the mask counts per lane (255 at most).
  __m128i counters = _mm_setzero_si128();
  int blocks = 0;
  const auto add_counters = [&] {
    const __m128i sums = _mm_sad_epu8(counters, _mm_setzero_si128());
    digits += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
              static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    counters = _mm_setzero_si128();
    blocks = 0;
  };
  while (end - in >= 16) {
    ClassifyBlock(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), digit, space);
    if (_mm_movemask_epi8(_mm_or_si128(digit, space)) != 0xFFFF) break;
    counters = _mm_sub_epi8(counters, digit);
    in += 16;
    if (++blocks == 255) add_counters();
  }
  add_counters();
  // A last partial block: the text's final 16 bytes, counting only the lanes not seen yet.
  if (in != end && end - in < 16 && end - begin >= 16) {
    const unsigned lanes = (0xFFFFu << (16 - (end - in))) & 0xFFFFu;
    ClassifyBlock(_mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16)), digit, space);
    const auto clean = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(digit, space)));
    if ((clean & lanes) == lanes) {
      digits += CountBits16(static_cast<unsigned>(_mm_movemask_epi8(digit)) & lanes);
      in = end;
    }
  }
  return digits;
}
#else
inline std::size_t CountCleanBlocks(const unsigned char*&, const unsigned char*,
                                    const unsigned char*) {
  return 0;
}
#endif

#if defined(__SSE2__)
// Whether all 16 bytes at in are base64 digits. Fewer steps than ClassifyBlock: each range
// test is one add that moves the range to the bottom of the signed bytes and one compare.
inline bool AllDigits16(const unsigned char* in) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const auto below = [](__m128i v, char first, int count) {
    const __m128i moved = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(-128 - first)));
    return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(-128 + count)));
  };
  // Setting bit 0x20 maps both letter ranges onto a..z and no other byte into it; setting
  // bit 0x04 maps "+" (0x2B) onto "/" (0x2F) and no other byte onto it.
  const __m128i letter = below(_mm_or_si128(x, _mm_set1_epi8(0x20)), 'a', 26);
  const __m128i decimal = below(x, '0', 10);
  const __m128i sign = _mm_cmpeq_epi8(_mm_or_si128(x, _mm_set1_epi8(0x04)), _mm_set1_epi8('/'));
  return _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(letter, decimal), sign)) == 0xFFFF;
}
#endif

// Whether [in, end) are all base64 digits.
inline bool AllDigits(const unsigned char* in, const unsigned char* end) {
#if defined(__SSE2__)
  if (end - in >= 16) {
    for (; end - in > 16; in += 16) {
      if (!AllDigits16(in)) return false;
    }
    return AllDigits16(end - 16);  // the last 16, overlapping bytes already seen
  }
#endif
  for (; in != end; ++in) {
    if (kDecode[*in] >= 64) return false;
  }
  return true;
}

// The usual body line: whole groups of digits, then CR LF, a lone LF or nothing. Decoding it
// skips the line end and gives 3 bytes per group, which is what the exact count reports for
// it; false for any other line (nothing decided).
inline bool CleanLineSize(const unsigned char* in, const unsigned char* end, std::size_t& size) {
  if (end != in && end[-1] == '\n') {
    --end;
    if (end != in && end[-1] == '\r') --end;
  }
  const auto digits = static_cast<std::size_t>(end - in);
  if (digits % 4 != 0 || !AllDigits(in, end)) return false;
  size = digits / 4 * 3;
  return true;
}

// Bytes given by `digits` base64 digits: 3 per group, and an incomplete final group gives the
// bytes it completes (2 digits -> 1 byte, 3 -> 2).
constexpr std::size_t BytesOfDigits(std::size_t digits) {
  const std::size_t rest = digits % 4;
  return digits / 4 * 3 + (rest >= 2 ? rest - 1 : 0);
}

constexpr std::size_t kLineBytes = 57;  // 76 characters per line

// Writes the encoding of n (1..3) bytes at `in` as 4 characters at `out`.
inline void EncodeGroup(const unsigned char* in, std::size_t n, char* out) {
  const std::uint32_t b0 = in[0];
  const std::uint32_t b1 = n > 1 ? in[1] : 0;
  const std::uint32_t b2 = n > 2 ? in[2] : 0;
  const std::uint32_t v = (b0 << 16) | (b1 << 8) | b2;
  out[0] = kAlphabet[(v >> 18) & 63];
  out[1] = kAlphabet[(v >> 12) & 63];
  out[2] = n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
  out[3] = n > 2 ? kAlphabet[v & 63] : '=';
}

// Encodes all of [in, in + n) at `out`; returns the characters written (no zero).
std::size_t EncodeAll(const unsigned char* in, std::size_t n, char* out) {
  char* const start = out;
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3, out += 4) {
    const std::uint32_t v =
        (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | std::uint32_t{in[i + 2]};
    out[0] = kAlphabet[v >> 18];
    out[1] = kAlphabet[(v >> 12) & 63];
    out[2] = kAlphabet[(v >> 6) & 63];
    out[3] = kAlphabet[v & 63];
  }
  if (i < n) {
    EncodeGroup(in + i, n - i, out);
    out += 4;
  }
  return static_cast<std::size_t>(out - start);
}

const unsigned char* Bytes(std::string_view s) {
  return reinterpret_cast<const unsigned char*>(s.data());
}

}  // namespace

std::size_t Base64EncodedSize(std::size_t n) {
  // floor(4n / 3) written so that 4n cannot overflow.
  const std::size_t at_least = (n / 3) * 4 + (n % 3) * 4 / 3 + 1;
  return (at_least + 3) / 4 * 4 + 1;
}

std::size_t Base64Encode(std::string_view bytes, char* out, std::size_t out_size) {
  if (out_size == 0) return 0;
  const std::size_t groups_needed = (bytes.size() + 2) / 3;
  const std::size_t groups = std::min(groups_needed, (out_size - 1) / 4);
  const std::size_t n = std::min(bytes.size(), groups * 3);
  const std::size_t written = EncodeAll(Bytes(bytes), n, out);
  out[written] = '\0';
  return written;
}

std::string Base64Encode(std::string_view bytes) {
  std::string out((bytes.size() + 2) / 3 * 4, '\0');
  out.resize(EncodeAll(Bytes(bytes), bytes.size(), out.data()));
  return out;
}

std::string Base64EncodeText(std::string_view text) {
  std::string with_zero;
  with_zero.reserve(text.size() + 1);
  with_zero.append(text);
  with_zero.push_back('\0');
  return Base64Encode(with_zero);
}

std::string Base64EncodeLines(std::string_view bytes) {
  const std::size_t lines = (bytes.size() + kLineBytes - 1) / kLineBytes;
  std::string out(lines * 78, '\0');
  char* p = out.data();
  const unsigned char* in = Bytes(bytes);
  for (std::size_t done = 0; done < bytes.size(); done += kLineBytes) {
    p += EncodeAll(in + done, std::min(kLineBytes, bytes.size() - done), p);
    *p++ = '\r';
    *p++ = '\n';
  }
  out.resize(static_cast<std::size_t>(p - out.data()));
  return out;
}

std::size_t Base64DecodeRoom(std::size_t text_size) {
  // Three bytes per whole group of the text, up to 2 of a partial group, and the fast path's
  // byte of slack.
  return text_size / 4 * 3 + 3;
}

Base64DecodeResult Base64DecodeInto(std::string_view text, char* out) {
  Base64DecodeResult result;
  unsigned char* const start = reinterpret_cast<unsigned char*>(out);
  unsigned char* p = start;
  const unsigned char* in = Bytes(text);
  const unsigned char* const end = in + text.size();
  std::uint32_t acc = 0;
  int count = 0;  // digits in acc, 0..3
  while (in != end) {
    // Between groups, clean input takes the fast path; the first group holding white space,
    // "=" or a bad byte is read below one character at a time by the exact rules.
    if (count == 0) {
      // White space between groups (a line end) is skipped here, as below, so that the fast
      // path is tried once per line rather than once per byte of its end.
      while (in != end && kDecode[*in] == kSkip) ++in;
      DecodeCleanGroups(in, end, p);
      if (in == end) break;
    }
    const std::uint8_t v = kDecode[*in++];
    if (v < 64) {
      acc = (acc << 6) | v;
      if (++count == 4) {
        p[0] = static_cast<unsigned char>(acc >> 16);
        p[1] = static_cast<unsigned char>(acc >> 8);
        p[2] = static_cast<unsigned char>(acc);
        p += 3;
        acc = 0;
        count = 0;
      }
    } else if (v == kSkip) {
      continue;
    } else if (v == kPad) {
      result.ended_at_pad = true;
      break;
    } else {
      return result;
    }
  }
  // An incomplete final group gives the bytes it completes: 2 digits -> 1 byte, 3 -> 2.
  if (count >= 2) *p++ = static_cast<unsigned char>(acc >> (6 * count - 8));
  if (count == 3) *p++ = static_cast<unsigned char>(acc >> 2);
  result.ok = true;
  result.size = static_cast<std::size_t>(p - start);
  return result;
}

bool Base64UseShuffles(bool on) {
#if defined(PELRION_BASE64_SSSE3)
  UseSsse3() = on && __builtin_cpu_supports("ssse3");
  return UseSsse3();
#else
  return on && false;
#endif
}

Base64LineRun Base64DecodeCleanLines(std::string_view text, std::size_t max_lines, char* out,
                                     std::size_t room) {
  Base64LineRun run;
  if (room <= Base64DecodeRoom(0)) return run;
  // The longest text whose Base64DecodeRoom fits (whole groups of the room, and 3 characters
  // that make no whole group): the fast path's slack stays inside it.
  const std::size_t usable = std::min(text.size(), (room - Base64DecodeRoom(0)) / 3 * 4 + 3);
  const unsigned char* in = Bytes(text);
  const unsigned char* const begin = in;
  const unsigned char* const end = in + usable;
  unsigned char* const start = reinterpret_cast<unsigned char*>(out);
  unsigned char* p = start;
  while (run.lines < max_lines && in != end) {
    // Whole groups never run over a line end, as LF is no digit. A line that is not clean, or
    // whose end lies past what may be taken, is left to the exact decoder.
    DecodeCleanGroups(in, end, p);
    if (in != end && *in == '\n') {
      in += 1;
    } else if (end - in >= 2 && in[0] == '\r' && in[1] == '\n') {
      in += 2;
    } else {
      break;
    }
    ++run.lines;
    run.consumed = static_cast<std::size_t>(in - begin);
    run.size = static_cast<std::size_t>(p - start);
  }
  return run;
}

Base64DecodeResult Base64Decode(std::string_view text, std::string& out) {
  const std::size_t old_size = out.size();
  out.resize(old_size + Base64DecodeRoom(text.size()));
  const Base64DecodeResult result = Base64DecodeInto(text, out.data() + old_size);
  out.resize(old_size + result.size);
  return result;
}

Base64DecodeResult Base64DecodedSize(std::string_view text) {
  Base64DecodeResult result;
  const unsigned char* in = Bytes(text);
  const unsigned char* const end = in + text.size();
  if (CleanLineSize(in, end, result.size)) {
    result.ok = true;
    return result;
  }
  // Other lines of digits and white space only are counted without a branch per byte.
  std::size_t digits = CountCleanBlocks(in, end, Bytes(text));
  const std::size_t counted_before = digits;
  const unsigned char* const rest = in;
  std::uint8_t seen = 0;
  for (; in != end; ++in) {
    const std::uint8_t kind = kCount[*in];
    digits += kind & kCountDigit;
    seen |= kind;
  }
  if ((seen & kCountStop) == 0) {
    result.ok = true;
    result.size = BytesOfDigits(digits);
    return result;
  }
  // An "=" or a bad byte: only the digits before the first of them count.
  digits = counted_before;
  for (in = rest; in != end; ++in) {
    const std::uint8_t v = kDecode[*in];
    if (v < 64) {
      ++digits;
    } else if (v == kPad) {
      result.ended_at_pad = true;
      break;
    } else if (v != kSkip) {
      return result;
    }
  }
  result.ok = true;
  result.size = BytesOfDigits(digits);
  return result;
}

}  // namespace pelrion::mailformat
