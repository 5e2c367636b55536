#include "transport/message_serving.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>
#include <vector>

#include "transport/dot_stuffed_output.h"

namespace pelrion::transport {
namespace {

constexpr std::size_t kReadSize = 256 * 1024;

class FileHandle {
 public:
  explicit FileHandle(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// Up to `size` bytes into buffer; fewer only at the end of the file; -1 on a read error.
long ReadFull(int fd, char* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, buffer + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long>(done);
}

// The bytes of `lines` lines from the current position, stuffed; a last line without LF at
// the end of the file counts as a line.
void StreamBodyLines(int fd, std::uint32_t lines, DotStuffedOutput& out) {
  std::vector<char> buffer(kReadSize);
  bool inside_line = false;  // part of a line was sent, its LF not yet seen
  while (lines > 0) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got == 0 && inside_line) --lines;
    if (got < 0 || (got == 0 && lines > 0)) throw MessageFileBroken{};
    std::string_view chunk(buffer.data(), static_cast<std::size_t>(got));
    // Most reads lie wholly inside the wanted lines: sent in one piece.
    const auto ends = static_cast<std::uint32_t>(std::count(chunk.begin(), chunk.end(), '\n'));
    if (ends < lines) {
      out.PutStuffed(chunk);
      lines -= ends;
      inside_line = chunk.back() != '\n';
      continue;
    }
    while (lines > 0 && !chunk.empty()) {
      const std::size_t lf = chunk.find('\n');
      const std::size_t take = lf == std::string_view::npos ? chunk.size() : lf + 1;
      out.PutStuffed(chunk.substr(0, take));
      chunk.remove_prefix(take);
      inside_line = lf == std::string_view::npos;
      if (!inside_line) --lines;
    }
  }
}

}  // namespace

bool SendStoredMessage(NetConnection& client, const ServedMessage& message,
                       std::uint32_t body_lines) {
  FileHandle file(message.path);
  if (file.fd() < 0) return false;
  std::string header(message.header_length, '\0');
  if (ReadFull(file.fd(), header.data(), header.size()) != static_cast<long>(header.size())) {
    return false;
  }
  DotStuffedOutput out(client);
  out.PutRaw("+OK\r\n");
  out.PutStuffed(header);
  StreamBodyLines(file.fd(), std::min(body_lines, message.body_line_count), out);
  out.Finish();
  return true;
}

}  // namespace pelrion::transport
