// Quoted-printable (RFC 2045 section 6.7): encoding of whole texts for outgoing mail and
// line-by-line decoding for the MIME parser.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelrion::mailformat {

// Encodes `bytes`: CR LF pairs are kept as line ends; control bytes (TAB, lone CR or LF
// included), 0x7F, bytes >= 0x80, "=", "." and a space before CR become "=XX"; soft breaks
// "=" CR LF keep every line at most 76 characters, the "=" included.
std::string QuotedPrintableEncode(std::string_view bytes);

// Replaces `text` by its QuotedPrintableEncode form.
void QuotedPrintableEncodeInPlace(std::string& text);

// Decodes one line given without its CR LF, appending to `out`; returns the bytes appended.
// "=XX" gives one byte (a non-hex character counts as 0); a final "=" is a soft break, else
// CR LF is appended. An "=" with only one character after it is copied as written.
std::size_t QuotedPrintableDecodeLine(std::string_view line, std::string& out);

// As QuotedPrintableDecodeLine, writing at `out`, which must hold line.size() + 2 bytes.
std::size_t QuotedPrintableDecodeLineInto(std::string_view line, char* out);

// What QuotedPrintableDecodeLine(line, ...) returns, found without decoding: the MIME scanner
// only needs each body line's decoded size.
std::size_t QuotedPrintableDecodedSize(std::string_view line);

}  // namespace pelrion::mailformat
