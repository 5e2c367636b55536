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

// Bytes that DecodeLineInto may write for `line` (7bit and 8bit lines are not decoded).
std::size_t DecodeRoom(std::string_view line, bool mime, TransferEncoding encoding) {
  if (!mime) return kUudecodeRoom;
  return encoding == TransferEncoding::kBase64 ? Base64DecodeRoom(line.size()) : line.size() + 2;
}

// Decodes one line of a uuencoded segment (mime clear), a base64 or a quoted-printable part
// at `out`, which holds DecodeRoom bytes; the bytes kept, or -1 when the line cannot be decoded.
std::ptrdiff_t DecodeLineInto(std::string_view line, bool mime, TransferEncoding encoding,
                              char* out) {
  if (!mime) {
    const int n = UudecodeLineInto(StripLineEnd(line), out);
    return n < 0 ? -1 : n;
  }
  if (encoding == TransferEncoding::kBase64) {
    const Base64DecodeResult result = Base64DecodeInto(line, out);
    return result.ok ? static_cast<std::ptrdiff_t>(result.size) : -1;
  }
  return static_cast<std::ptrdiff_t>(QuotedPrintableDecodeLineInto(StripLineEnd(line), out));
}

// Whether lines of this kind are decoded at all: 7bit and 8bit lines are taken as they are;
// any other MIME encoding cannot be decoded.
enum class LineKind { kAsIs, kDecoded, kUndecodable };

LineKind KindOf(bool mime, TransferEncoding encoding) {
  if (!mime) return LineKind::kDecoded;
  switch (encoding) {
    case TransferEncoding::k7Bit:
    case TransferEncoding::k8Bit:
      return LineKind::kAsIs;
    case TransferEncoding::kBase64:
    case TransferEncoding::kQuotedPrintable:
      return LineKind::kDecoded;
    default:
      return LineKind::kUndecodable;
  }
}

// Decodes the clean base64 lines at the start of what the reader holds (at most max_lines)
// straight into the sink's room, back to back; returns the lines taken. A clean line decodes
// to the same bytes here as alone (see Base64DecodeCleanLines), every such line is already
// read, and none is taken past the sink's room, so what the caller's line-by-line loop does
// next is unchanged: a sink that cannot take bytes in place takes none here.
template <typename Sink>
std::uint32_t TakeCleanBase64Lines(LineReader& reader, std::uint32_t max_lines, Sink& sink) {
  const std::string_view held = reader.Buffered();
  const std::size_t room = sink.FreeRoom();
  if (room == 0 || held.empty()) return 0;
  const Base64LineRun run = Base64DecodeCleanLines(held, max_lines, sink.Room(room), room);
  reader.Skip(run.consumed);
  sink.Advance(run.size);
  return static_cast<std::uint32_t>(run.lines);
}

// Reads the part's lines from source and hands each decoded piece to the sink: decoded
// straight into sink.Room when the sink has that much room at hand, else into a scratch
// buffer and given to sink.Put (false = error). Stops early, successfully, once sink.Full().
template <typename Sink>
bool DecodeLines(std::FILE* source, std::uint32_t offset, std::uint32_t line_count, bool mime,
                 TransferEncoding encoding, Sink& sink, std::size_t expected_bytes = 0) {
  if (::fseeko(source, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  const LineKind kind = KindOf(mime, encoding);
  LineReader reader(source, expected_bytes);
  std::string scratch;
  for (std::uint32_t i = 0; i < line_count; ++i) {
    if (sink.Full()) return true;
    if (mime && encoding == TransferEncoding::kBase64) {
      i += TakeCleanBase64Lines(reader, line_count - i, sink);
      if (i == line_count) break;
      if (sink.Full()) return true;
    }
    std::string_view line;
    if (!reader.ReadLine(true, line)) return false;
    if (kind == LineKind::kUndecodable) return false;
    if (kind == LineKind::kAsIs) {
      if (!sink.Put(line)) return false;
      continue;
    }
    const std::size_t room = DecodeRoom(line, mime, encoding);
    if (char* out = sink.Room(room)) {
      const std::ptrdiff_t n = DecodeLineInto(line, mime, encoding, out);
      if (n < 0) return false;
      sink.Advance(static_cast<std::size_t>(n));
      continue;
    }
    if (scratch.size() < room) scratch.resize(room);
    const std::ptrdiff_t n = DecodeLineInto(line, mime, encoding, scratch.data());
    if (n < 0) return false;
    if (!sink.Put(std::string_view(scratch.data(), static_cast<std::size_t>(n)))) return false;
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
  char* Room(std::size_t) { return nullptr; }
  std::size_t FreeRoom() const { return 0; }
  void Advance(std::size_t) {}

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
  // Where `size` bytes can be written at once, or null when fewer remain.
  char* Room(std::size_t size) {
    return capacity_ - placed_ >= size ? buffer_ + placed_ : nullptr;
  }
  // Bytes that can be written at Room at once.
  std::size_t FreeRoom() const { return capacity_ - placed_; }
  // Keeps n of the bytes written at Room.
  void Advance(std::size_t n) { placed_ += n; }

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
  char* Room(std::size_t) { return nullptr; }
  std::size_t FreeRoom() const { return 0; }
  void Advance(std::size_t) {}

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
  // Base64 lines carry 57 bytes in 78 characters; other encodings about one byte per byte.
  const std::size_t expected = encoding == TransferEncoding::kBase64 && mime
                                   ? capacity / 57 * 78 + 78
                                   : capacity + capacity / 32 + 64;
  return DecodeLines(source.get(), offset, line_count, mime, encoding, sink, expected);
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
