// Sending one stored message to the mail program: the header block, then body lines, all
// dot-stuffed, read from the message file through a large buffer.
#pragma once

#include <cstdint>
#include <string>

#include "transport/net_connection.h"

namespace pelrion::transport {

// Where a message lives and how it is laid out, copied from its held record.
struct ServedMessage {
  std::string path;
  std::uint32_t header_length = 0;  // offset of the first body byte
  std::uint32_t body_line_count = 0;
};

// The message file broke after the reply had begun (a read error, or fewer body lines than
// counted): the stored data no longer matches its record.
struct MessageFileBroken {};

// Sends "+OK", the header block and the first `body_lines` body lines (at most the counted
// ones), then ".". False, with nothing sent, when the header block cannot be read. Throws
// MessageFileBroken, or NetError from the connection.
bool SendStoredMessage(NetConnection& client, const ServedMessage& message,
                       std::uint32_t body_lines);

}  // namespace pelrion::transport
