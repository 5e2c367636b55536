// What the command-line client and the running program say to each other over the control
// socket, and how it is framed. One request and one reply per connection.
//
// Framing (every number a 32-bit unsigned big-endian integer):
//   request: word count, then per word its byte length and bytes, then the standard-input
//            text's byte length and bytes (length 0 when the command reads none);
//   reply:   exit code, then the output text's length and bytes, then the error text's.
// The receiver refuses anything above the limits below before reading it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::platform {

struct ControlRequest {
  std::vector<std::string> words;  // the command words, e.g. {"account", "list", "--json"}
  std::string input;               // text read from standard input (passwords), or empty
};

struct ControlReply {
  int exit_code = 0;
  std::string output;  // for standard output
  std::string errors;  // for standard error
};

inline constexpr std::size_t kMaxControlWords = 256;
inline constexpr std::size_t kMaxControlWordBytes = 4096;
inline constexpr std::size_t kMaxControlInputBytes = 64 * 1024;
// Each text of a reply; a message list of a large store fits many times over.
inline constexpr std::size_t kMaxControlReplyTextBytes = 512u * 1024 * 1024;

std::string EncodeControlRequest(const ControlRequest& request);
std::string EncodeControlReply(const ControlReply& reply);

enum class ControlReadOutcome {
  kRead,
  kTooLarge,  // a count or length above its limit; the rest was not read
  kBroken,    // the peer closed, timed out or failed before the whole message came
};

ControlReadOutcome ReadControlRequest(int fd, ControlRequest& request);
ControlReadOutcome ReadControlReply(int fd, ControlReply& reply);

// Sends all of bytes (without SIGPIPE); false when the peer is gone or the socket failed.
bool SendAll(int fd, std::string_view bytes);

}  // namespace pelrion::platform
