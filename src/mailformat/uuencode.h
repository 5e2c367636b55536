// Decoding of one uuencoded data line (the classic "begin ... end" body format).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelrion::mailformat {

inline constexpr int kUudecodeMalformed = -1;
inline constexpr int kUudecodeZeroLength = -2;

// Decodes one line given without its line end, appending to `out` (at most 45 bytes).
// Returns the bytes appended; kUudecodeZeroLength when the count character is space or
// backquote; kUudecodeMalformed (nothing appended) for a bad count, a character outside
// space..backquote, or a line too short for its count (an empty line included).
int UudecodeLine(std::string_view line, std::string& out);

// Room UudecodeLineInto needs at its output: whole groups of the longest line, and slack.
inline constexpr std::size_t kUudecodeRoom = 48;

// As UudecodeLine, writing at `out`, which must hold kUudecodeRoom bytes; bytes past the
// returned count (and all of them on an error) may be overwritten.
int UudecodeLineInto(std::string_view line, char* out);

// What UudecodeLine(line, ...) returns, found without decoding: the scanner of plain messages
// only needs each line's decoded size.
int UudecodedLineSize(std::string_view line);

}  // namespace pelrion::mailformat
