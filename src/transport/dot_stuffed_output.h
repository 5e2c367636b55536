// Multi-line POP3 replies: every line that begins with '.' gets one more '.' in front, so a
// line of the message can never end the reply early. Output is collected and sent in large
// pieces rather than one send per line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "transport/net_connection.h"

namespace pelrion::transport {

class DotStuffedOutput {
 public:
  explicit DotStuffedOutput(NetConnection& connection) : connection_(connection) {}

  // Bytes sent unchanged (status lines).
  void PutRaw(std::string_view bytes);
  // Message text, stuffed at each line start; lines may arrive in any pieces.
  void PutStuffed(std::string_view bytes);
  // Ends the reply with ".\r\n" (a last line without LF is ended first) and sends it all.
  void Finish();

 private:
  void FlushWhenFull();

  static constexpr std::size_t kSendSize = 64 * 1024;
  NetConnection& connection_;
  std::string pending_;
  bool at_line_start_ = true;
};

}  // namespace pelrion::transport
