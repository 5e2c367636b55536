// Base64 (RFC 2045 section 6.8): three encoder forms and a decoder. Bytes in, bytes out;
// no charset handling.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelrion::mailformat {

// E(n): the smallest multiple of 4 that is at least floor(4n/3) + 1, plus 1 for a terminating
// zero. Always enough for the encoding of n bytes plus its zero; also the RFC 2047 size rule.
std::size_t Base64EncodedSize(std::size_t n);

// Encodes as many whole 3-byte groups of `bytes` as fit, at most (out_size - 1) / 4 groups
// (the last group of the input may be partial and is padded with "="), then writes a zero.
// Returns the number of characters written before the zero; with out_size 0 nothing is written.
std::size_t Base64Encode(std::string_view bytes, char* out, std::size_t out_size);

// The whole encoding of `bytes` on one line, without line breaks.
std::string Base64Encode(std::string_view bytes);

// Encoding of the text's bytes followed by one zero byte ("abc" gives "YWJjAA==").
std::string Base64EncodeText(std::string_view text);

// Encoding in lines of 76 characters (57 input bytes), each line ended by CR LF, the final
// shorter line too; no empty line when the length is a multiple of 57; empty input gives "".
std::string Base64EncodeLines(std::string_view bytes);

struct Base64DecodeResult {
  bool ok = false;            // false: a character outside the alphabet; nothing was appended
  std::size_t size = 0;       // bytes appended to the output (complete bytes only)
  bool ended_at_pad = false;  // decoding stopped at an "=" (the rest was not read)
};

// Decodes `text`, appending to `out`. White space (space, TAB, CR, LF, VT, FF) is skipped; an
// "=" ends decoding; any other non-alphabet byte (0x80 and above and NUL included) fails.
Base64DecodeResult Base64Decode(std::string_view text, std::string& out);

// Room Base64DecodeInto needs at `out` for a text of text_size bytes (more than it keeps).
std::size_t Base64DecodeRoom(std::size_t text_size);

// As Base64Decode, writing at `out`, which must hold Base64DecodeRoom(text.size()) bytes;
// bytes past the result's size may be overwritten.
Base64DecodeResult Base64DecodeInto(std::string_view text, char* out);

// The leading clean lines of `text`, decoded back to back: a clean line is whole groups of 4
// digits followed by CR LF or LF. Decoding such a line by itself gives exactly its digits'
// bytes, so decoding a run of them at once gives what decoding them one by one and joining the
// pieces gives. Takes at most max_lines lines, and only while Base64DecodeRoom of the text
// taken stays within `room` bytes at `out`; stops before the first line that is not clean.
struct Base64LineRun {
  std::size_t lines = 0;      // lines taken
  std::size_t consumed = 0;   // their characters, line ends included
  std::size_t size = 0;       // bytes written at out (bytes past them may be overwritten)
};
Base64LineRun Base64DecodeCleanLines(std::string_view text, std::size_t max_lines, char* out,
                                     std::size_t room);

// Turns the decoders' byte-shuffle path (used where the processor has it) on or off, so that
// tests can check both paths; returns whether it is now on. Not for use while other threads
// decode.
bool Base64UseShuffles(bool on);

// What Base64Decode(text, ...) would report (success, byte count, stop at "="), found without
// decoding: the MIME scanner only needs each body line's decoded size.
Base64DecodeResult Base64DecodedSize(std::string_view text);

}  // namespace pelrion::mailformat
