// Decoding one part of a stored message straight from its file, using the offset and line
// count the MIME scanner recorded. Only the part's own lines are read.
//
// A MIME part is decoded with mime set and its transfer encoding (0 and 1: lines unchanged with
// their line ends; 2 base64; 3 quoted-printable; 4 always fails). A text segment of a plain
// message is read with mime set and encoding 0; a uuencoded segment with mime clear (every line
// uudecoded; a malformed or zero-length line is an error). Each of the line_count lines must be
// present and end in LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pelrion::mailformat {

// Writes the decoded part to destination_path (created or truncated). On any failure (file,
// missing line, decoding) the destination is deleted and false returned.
bool DecodePartToFile(std::uint32_t offset, std::uint32_t line_count, bool mime,
                      std::uint32_t encoding, const std::string& source_path,
                      const std::string& destination_path);

// Places the decoded part in buffer[0..capacity), stopping with success as soon as the buffer is
// full (the last piece cut to fit); placed is the byte count written. False on failure (placed
// then tells how far decoding got).
bool DecodePartToMemory(std::uint32_t offset, std::uint32_t line_count, bool mime,
                        std::uint32_t encoding, const std::string& source_path, char* buffer,
                        std::size_t capacity, std::size_t& placed);

}  // namespace pelrion::mailformat
