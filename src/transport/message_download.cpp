#include "transport/message_download.h"

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace pelrion::transport {
namespace {

constexpr std::size_t kWriteBuffer = 256 * 1024;

// An open file written through one buffer; every failure is a MessageFileError.
class BufferedFile {
 public:
  // The file exists and is empty. No O_TRUNC: ext4 takes a truncated file for a rewrite and
  // starts its writeback on close, which would cost a disk wait per message.
  explicit BufferedFile(const std::string& path)
      : fd_(::open(path.c_str(), O_WRONLY | O_CLOEXEC)) {
    if (fd_ < 0) throw MessageFileError{FileErrorText(errno)};
    buffer_.reserve(kWriteBuffer);
  }
  ~BufferedFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  void Write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kWriteBuffer) Drain();
    if (bytes.size() >= kWriteBuffer) {
      WriteOut(bytes);
    } else {
      buffer_.append(bytes);
    }
    written_ += bytes.size();
  }

  // Everything written, then closed: a failing close is a failed write too. The disk
  // starts writing the file now, while the next message downloads, so that the flush before
  // the server deletes anything finds little left to do.
  void Close() {
    Drain();
    ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw MessageFileError{FileErrorText(errno)};
  }

  std::uint64_t written() const { return written_; }

 private:
  void Drain() {
    WriteOut(buffer_);
    buffer_.clear();
  }

  void WriteOut(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t done = ::write(fd_, bytes.data(), bytes.size());
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) throw MessageFileError{FileErrorText(done < 0 ? errno : ENOSPC)};
      bytes.remove_prefix(static_cast<std::size_t>(done));
    }
  }

  int fd_;
  std::string buffer_;
  std::uint64_t written_ = 0;
};

}  // namespace

std::string FileErrorText(int error_number) {
  const char* words = ::strerrordesc_np(error_number);
  std::string text = words != nullptr ? words : "Unknown error " + std::to_string(error_number);
  std::string cleaned;
  for (char c : text) {
    if (c == '\r') continue;
    cleaned += c == '\n' ? ' ' : c;
  }
  const auto first = cleaned.find_first_not_of(" \t");
  const auto last = cleaned.find_last_not_of(" \t");
  cleaned = first == std::string::npos ? "" : cleaned.substr(first, last - first + 1);
  return "File Error: " + cleaned;
}

ReceivedMessage ReceiveMessageFile(NetConnection& connection, const std::string& path,
                                   mailformat::MimeScanner& scanner,
                                   ReceiveProgress& progress) {
  BufferedFile file(path);
  for (;;) {
    std::string_view line = connection.ReadLine();
    if (line == ".\r\n") break;
    if (!line.empty() && line.front() == '.') line.remove_prefix(1);
    file.Write(line);
    // Offsets are 32-bit in the stored summary, as the scanner keeps them.
    scanner.FeedLine(line, static_cast<std::uint32_t>(file.written()));
    progress.Add(line.size());
  }
  file.Close();
  return ReceivedMessage{file.written()};
}

}  // namespace pelrion::transport
