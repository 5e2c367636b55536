#include "platform/control_message.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace pelrion::platform {
namespace {

void PutNumber(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

void PutText(std::string& out, std::string_view text) {
  PutNumber(out, static_cast<std::uint32_t>(text.size()));
  out.append(text);
}

bool ReceiveAll(int fd, char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t got = recv(fd, data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

bool ReceiveNumber(int fd, std::uint32_t& value) {
  unsigned char bytes[4];
  if (!ReceiveAll(fd, reinterpret_cast<char*>(bytes), sizeof bytes)) return false;
  value = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
          (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
  return true;
}

// A length-prefixed text of at most limit bytes.
ControlReadOutcome ReceiveText(int fd, std::size_t limit, std::string& text) {
  std::uint32_t size = 0;
  if (!ReceiveNumber(fd, size)) return ControlReadOutcome::kBroken;
  if (size > limit) return ControlReadOutcome::kTooLarge;
  // Grown as the bytes come, so a length that promises more than is sent costs no memory.
  constexpr std::size_t kPiece = 64 * 1024;
  text.clear();
  while (text.size() < size) {
    const std::size_t start = text.size();
    const std::size_t piece = std::min<std::size_t>(kPiece, size - start);
    text.resize(start + piece);
    if (!ReceiveAll(fd, text.data() + start, piece)) return ControlReadOutcome::kBroken;
  }
  return ControlReadOutcome::kRead;
}

}  // namespace

std::string EncodeControlRequest(const ControlRequest& request) {
  std::string out;
  PutNumber(out, static_cast<std::uint32_t>(request.words.size()));
  for (const std::string& word : request.words) PutText(out, word);
  PutText(out, request.input);
  return out;
}

std::string EncodeControlReply(const ControlReply& reply) {
  std::string out;
  PutNumber(out, static_cast<std::uint32_t>(reply.exit_code));
  PutText(out, reply.output);
  PutText(out, reply.errors);
  return out;
}

ControlReadOutcome ReadControlRequest(int fd, ControlRequest& request) {
  std::uint32_t count = 0;
  if (!ReceiveNumber(fd, count)) return ControlReadOutcome::kBroken;
  if (count > kMaxControlWords) return ControlReadOutcome::kTooLarge;
  request.words.assign(count, std::string());
  for (std::string& word : request.words) {
    const ControlReadOutcome outcome = ReceiveText(fd, kMaxControlWordBytes, word);
    if (outcome != ControlReadOutcome::kRead) return outcome;
  }
  return ReceiveText(fd, kMaxControlInputBytes, request.input);
}

ControlReadOutcome ReadControlReply(int fd, ControlReply& reply) {
  std::uint32_t code = 0;
  if (!ReceiveNumber(fd, code)) return ControlReadOutcome::kBroken;
  reply.exit_code = static_cast<int>(code);
  const ControlReadOutcome outcome = ReceiveText(fd, kMaxControlReplyTextBytes, reply.output);
  if (outcome != ControlReadOutcome::kRead) return outcome;
  return ReceiveText(fd, kMaxControlReplyTextBytes, reply.errors);
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace pelrion::platform
