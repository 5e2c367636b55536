#include "mailformat/uuencode.h"

#include <cstddef>

namespace pelrion::mailformat {
namespace {

constexpr int kMaxLineBytes = 45;

inline bool IsUuChar(unsigned char c) {
  return c >= ' ' && c <= '`';
}
inline unsigned Sextet(unsigned char c) {
  return (c - ' ') & 63u;
}

}  // namespace

int UudecodeLine(std::string_view line, std::string& out) {
  if (line.empty()) return kUudecodeMalformed;
  const int n = static_cast<unsigned char>(line[0]) - ' ';
  if (n >= 0 && n % 64 == 0) return kUudecodeZeroLength;
  if (n < 1 || n > kMaxLineBytes) return kUudecodeMalformed;
  if (line.size() < static_cast<std::size_t>(4 * ((n + 1) / 3))) return kUudecodeMalformed;
  // Every group is read whole; a group cut short by the end of the line is malformed (the
  // length check above alone would let the last group run past the line).
  const std::size_t groups = static_cast<std::size_t>(n + 2) / 3;
  if (line.size() < 1 + 4 * groups) return kUudecodeMalformed;

  unsigned char decoded[kMaxLineBytes + 2];
  int produced = 0;
  for (std::size_t g = 0; g < groups; ++g) {
    const auto* in = reinterpret_cast<const unsigned char*>(line.data()) + 1 + 4 * g;
    if (!IsUuChar(in[0]) || !IsUuChar(in[1]) || !IsUuChar(in[2]) || !IsUuChar(in[3])) {
      return kUudecodeMalformed;
    }
    const unsigned v =
        (Sextet(in[0]) << 18) | (Sextet(in[1]) << 12) | (Sextet(in[2]) << 6) | Sextet(in[3]);
    decoded[produced++] = static_cast<unsigned char>(v >> 16);
    decoded[produced++] = static_cast<unsigned char>(v >> 8);
    decoded[produced++] = static_cast<unsigned char>(v);
  }
  out.append(reinterpret_cast<const char*>(decoded), static_cast<std::size_t>(n));
  return n;
}

}  // namespace pelrion::mailformat
