// Decoding one part of a stored message straight from its file, using the offset and line
// count the MIME scanner recorded. Only the part's own lines are read.
//
// A MIME part is decoded with mime set and its transfer encoding (7bit and 8bit: lines unchanged
// with their line ends; base64; quoted-printable; undecodable always fails). A text segment of a
// plain message is read with mime set and 7bit; a uuencoded segment with mime clear (every line
// uudecoded; a malformed or zero-length line is an error). Each of the line_count lines must be
// present and end in LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "mailformat/transfer_encoding.h"

namespace pelrion::mailformat {

// Writes the decoded part to destination_path (created or truncated). On any failure (file,
// missing line, decoding) the destination is deleted and false returned.
bool DecodePartToFile(std::uint32_t offset, std::uint32_t line_count, bool mime,
                      TransferEncoding encoding, const std::string& source_path,
                      const std::string& destination_path);

// Places the decoded part in buffer[0..capacity), stopping with success as soon as the buffer is
// full (the last piece cut to fit); placed is the byte count written. False on failure (placed
// then tells how far decoding got).
bool DecodePartToMemory(std::uint32_t offset, std::uint32_t line_count, bool mime,
                        TransferEncoding encoding, const std::string& source_path, char* buffer,
                        std::size_t capacity, std::size_t& placed);

// Hands the decoded part to take piece by piece (the decoding of one stored line each), in
// order, and stops reading, with success, as soon as take returns false: a reader that needs
// only the start of a part reads no further. False on a file or decoding failure before that.
bool DecodePartPieces(std::uint32_t offset, std::uint32_t line_count, bool mime,
                      TransferEncoding encoding, const std::string& source_path,
                      const std::function<bool(std::string_view)>& take);

}  // namespace pelrion::mailformat
