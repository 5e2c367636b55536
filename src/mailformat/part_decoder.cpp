#include "mailformat/part_decoder.h"

#include <stdio.h>
#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "mailformat/base64.h"
#include "mailformat/line_reader.h"
#include "mailformat/mime_parameters.h"
#include "mailformat/quoted_printable.h"
#include "mailformat/uuencode.h"

namespace pelrion::mailformat {
namespace {

// Closes a FILE* when it leaves scope (unless released).
class FileCloser {
 public:
  explicit FileCloser(std::FILE* file) : file_(file) {}
  ~FileCloser() {
    if (file_ != nullptr) std::fclose(file_);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;
  std::FILE* get() const { return file_; }
  // Closes now; false when the close reported an error (buffered data not written).
  bool Close() {
    std::FILE* file = file_;
    file_ = nullptr;
    return std::fclose(file) == 0;
  }

 private:
  std::FILE* file_;
};

// Decodes one line into `decoded` (or points `piece` at the line itself). False when the line
// cannot be decoded.
bool DecodeLine(std::string_view line, bool mime, TransferEncoding encoding, std::string& decoded,
                std::string_view& piece) {
  decoded.clear();
  if (!mime) {
    if (UudecodeLine(StripLineEnd(line), decoded) < 0) return false;
    piece = decoded;
    return true;
  }
  switch (encoding) {
    case TransferEncoding::k7Bit:
    case TransferEncoding::k8Bit:
      piece = line;
      return true;
    case TransferEncoding::kBase64:
      if (!Base64Decode(line, decoded).ok) return false;
      piece = decoded;
      return true;
    case TransferEncoding::kQuotedPrintable:
      QuotedPrintableDecodeLine(StripLineEnd(line), decoded);
      piece = decoded;
      return true;
    default:
      return false;
  }
}

// Reads the part's lines from source and hands each decoded piece to sink.Put (false = error);
// stops early, successfully, once sink.Full().
template <typename Sink>
bool DecodeLines(std::FILE* source, std::uint32_t offset, std::uint32_t line_count, bool mime,
                 TransferEncoding encoding, Sink& sink) {
  if (::fseeko(source, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  LineReader reader(source);
  std::string decoded;
  for (std::uint32_t i = 0; i < line_count; ++i) {
    if (sink.Full()) return true;
    std::string_view line;
    std::string_view piece;
    if (!reader.ReadLine(true, line)) return false;
    if (!DecodeLine(line, mime, encoding, decoded, piece)) return false;
    if (!sink.Put(piece)) return false;
  }
  return true;
}

class FileSink {
 public:
  explicit FileSink(std::FILE* file) : file_(file) {}
  bool Full() const { return false; }
  bool Put(std::string_view piece) {
    return piece.empty() || std::fwrite(piece.data(), 1, piece.size(), file_) == piece.size();
  }

 private:
  std::FILE* file_;
};

class MemorySink {
 public:
  MemorySink(char* buffer, std::size_t capacity, std::size_t& placed)
      : buffer_(buffer), capacity_(capacity), placed_(placed) {}
  bool Full() const { return placed_ >= capacity_; }
  bool Put(std::string_view piece) {
    const std::size_t n = std::min(piece.size(), capacity_ - placed_);
    if (n > 0) std::memcpy(buffer_ + placed_, piece.data(), n);
    placed_ += n;
    return true;
  }

 private:
  char* buffer_;
  std::size_t capacity_;
  std::size_t& placed_;
};

// Gives each piece to a caller's function until it asks for no more.
class PieceSink {
 public:
  explicit PieceSink(const std::function<bool(std::string_view)>& take) : take_(take) {}
  bool Full() const { return done_; }
  bool Put(std::string_view piece) {
    done_ = !take_(piece);
    return true;
  }

 private:
  const std::function<bool(std::string_view)>& take_;
  bool done_ = false;
};

}  // namespace

bool DecodePartToFile(std::uint32_t offset, std::uint32_t line_count, bool mime,
                      TransferEncoding encoding, const std::string& source_path,
                      const std::string& destination_path) {
  FileCloser source(std::fopen(source_path.c_str(), "rbe"));
  if (source.get() == nullptr) return false;
  FileCloser destination(std::fopen(destination_path.c_str(), "wbe"));
  if (destination.get() == nullptr) return false;
  FileSink sink(destination.get());
  const bool decoded = DecodeLines(source.get(), offset, line_count, mime, encoding, sink);
  const bool closed = destination.Close();
  if (decoded && closed) return true;
  std::remove(destination_path.c_str());
  return false;
}

bool DecodePartToMemory(std::uint32_t offset, std::uint32_t line_count, bool mime,
                        TransferEncoding encoding, const std::string& source_path, char* buffer,
                        std::size_t capacity, std::size_t& placed) {
  placed = 0;
  FileCloser source(std::fopen(source_path.c_str(), "rbe"));
  if (source.get() == nullptr) return false;
  MemorySink sink(buffer, capacity, placed);
  return DecodeLines(source.get(), offset, line_count, mime, encoding, sink);
}

bool DecodePartPieces(std::uint32_t offset, std::uint32_t line_count, bool mime,
                      TransferEncoding encoding, const std::string& source_path,
                      const std::function<bool(std::string_view)>& take) {
  FileCloser source(std::fopen(source_path.c_str(), "rbe"));
  if (source.get() == nullptr) return false;
  PieceSink sink(take);
  return DecodeLines(source.get(), offset, line_count, mime, encoding, sink);
}

}  // namespace pelrion::mailformat
