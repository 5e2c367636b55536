// Stored texts (subjects, senders, server replies) are raw bytes in whatever code page the
// sender used. Where they must become UTF-8 (JSON output), valid UTF-8 sequences are kept and
// every other byte is read as Latin-1, so the result is always valid UTF-8, nothing is lost
// and each unknown byte can be told back from its code point U+0080..U+00FF.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::mailformat {

// True when bytes are well-formed UTF-8: shortest forms only, no surrogates, nothing above
// U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// bytes with every byte that does not start a well-formed UTF-8 sequence written as the code
// point of the same value (two bytes of UTF-8).
std::string Utf8FromBytes(std::string_view bytes);

}  // namespace pelrion::mailformat
