// The control socket's readers on arbitrary bytes: a request or reply read whole encodes back
// to exactly the bytes it was read from, and nothing read holds more than the limits allow.
// The first input byte picks the reader.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/control_message.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelrion::platform;
  // What fits in the socket's buffer, so the write below never waits for the reader.
  if (size < 1 || size > 64 * 1024) return 0;
  const bool read_reply = data[0] & 1;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  int pair[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
  const int buffer = 256 * 1024;
  setsockopt(pair[0], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  Check(SendAll(pair[0], input));
  shutdown(pair[0], SHUT_WR);

  if (read_reply) {
    ControlReply reply;
    if (ReadControlReply(pair[1], reply) == ControlReadOutcome::kRead) {
      const std::string encoded = EncodeControlReply(reply);
      Check(input.substr(0, encoded.size()) == encoded);
    }
  } else {
    ControlRequest request;
    if (ReadControlRequest(pair[1], request) == ControlReadOutcome::kRead) {
      Check(request.words.size() <= kMaxControlWords);
      for (const std::string& word : request.words) Check(word.size() <= kMaxControlWordBytes);
      Check(request.input.size() <= kMaxControlInputBytes);
      const std::string encoded = EncodeControlRequest(request);
      Check(input.substr(0, encoded.size()) == encoded);
    }
  }
  close(pair[0]);
  close(pair[1]);
  return 0;
}
