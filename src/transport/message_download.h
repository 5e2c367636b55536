// Receiving one message of a RETR answer into its message file: the lines up to the lone
// ".", each with one leading period dropped, are written through a buffer (the file sees
// large writes, not one per line) and fed to the MIME scanner with the file position after
// them; the message is never held whole in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "mailformat/mime_scanner.h"
#include "transport/net_connection.h"
#include "transport/progress_publisher.h"

namespace pelrion::transport {

// A message file could not be written; the text the user sees.
struct MessageFileError {
  std::string text;  // "File Error: " and the system's words
};

// "File Error: " and the system's English words for errno, trimmed, line ends made spaces.
std::string FileErrorText(int error_number);

struct ReceivedMessage {
  std::uint64_t size = 0;  // bytes in the file
};

// Reads the message's lines from `connection` into the existing empty file at `path`,
// feeding each to `scanner`; `progress` counts the bytes written for every line. Throws
// NetError for the network, MessageFileError for the file (which is then left as far as it
// got: the caller removes it).
ReceivedMessage ReceiveMessageFile(NetConnection& connection, const std::string& path,
                                   mailformat::MimeScanner& scanner,
                                   ReceiveProgress& progress);

}  // namespace pelrion::transport
