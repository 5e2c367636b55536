// RFC 2047 encoded words in header text: decoding for display and storage, encoding of
// display names for outgoing mail. Bytes stay bytes: the charset label of a word is ignored.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::mailformat {

// Decodes every "=?charset?B|Q?text?=" word of a header value in place of the word; spaces
// and tabs (also between two encoded words) are kept; malformed words are copied unchanged.
// The result ends at the first zero byte that decoding produced.
std::string DecodeHeaderText(std::string_view value);

// Encodes a display name that holds bytes >= 0x80 as "=?UNKNOWN?B?...?=" words; plain words
// are quoted as a phrase where needed. Short phrases become one word covering the whole text.
std::string EncodeHeaderText(std::string_view phrase);

// True when no byte is 0x80 or above (an empty text is seven-bit).
bool IsSevenBit(std::string_view text);

}  // namespace pelrion::mailformat
