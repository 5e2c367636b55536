// Scanning a message that is already stored in a file, as the download scans it line by line:
// for the command-line tool, the fuzz target and the benchmarks.
#pragma once

#include <cstddef>
#include <string>

#include "mailformat/mime_scanner.h"

namespace pelrion::mailformat {

// Feeds every line of the file to scanner (lines split after each LF, a final line without LF
// included) with the file offset after it, reading chunk_size bytes at a time (at least 1).
// False when the file cannot be opened or read; the lines fed so far stay fed.
bool FeedMessageFile(const std::string& path, MimeScanner& scanner, std::size_t chunk_size = 65536);

}  // namespace pelrion::mailformat
