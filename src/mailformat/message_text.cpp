#include "mailformat/message_text.h"

#include <algorithm>
#include <string_view>

#include "mailformat/header_block.h"
#include "mailformat/part_decoder.h"

namespace pelrion::mailformat {
namespace {

struct TextSource {
  std::uint32_t offset = 0;
  std::uint32_t line_count = 0;
  std::uint32_t size = 0;
  TransferEncoding encoding = TransferEncoding::k7Bit;
};

std::optional<TextSource> FindTextSource(const PartTable& table) {
  if (table.mime == 0) {
    if (table.segments.empty()) return std::nullopt;
    const SegmentEntry& segment = table.segments.front();
    return TextSource{segment.data_offset, segment.data_line_count, segment.data_size,
                      TransferEncoding::k7Bit};
  }
  const std::size_t first = table.first_text_index;
  const std::size_t end = std::min<std::size_t>(
      table.parts.size(), first + static_cast<std::size_t>(table.text_part_count));
  for (std::size_t i = first; i < end; ++i) {
    const PartEntry& part = table.parts[i];
    if (part.type == "text") {
      return TextSource{part.body_offset, part.body_line_count, part.decoded_size,
                        part.transfer_encoding};
    }
  }
  return std::nullopt;
}

// Collects decoded bytes up to and including the first line that is exactly CR LF.
class HeaderBlockCollector {
 public:
  // Takes the next decoded bytes; false once the block is complete (nothing more is needed).
  bool Take(std::string_view piece) {
    block_.append(piece);
    for (std::size_t lf = block_.find('\n', line_start_); lf != std::string::npos;
         lf = block_.find('\n', line_start_)) {
      if (lf == line_start_ + 1 && block_[line_start_] == '\r') {
        block_.resize(lf + 1);
        closed_ = true;
        return false;
      }
      line_start_ = lf + 1;
    }
    return true;
  }
  bool closed() const { return closed_; }
  std::string& block() { return block_; }

 private:
  std::string block_;
  std::size_t line_start_ = 0;
  bool closed_ = false;
};

}  // namespace

std::string ReadMessageText(const PartTable& table, const std::string& message_path,
                            std::size_t limit) {
  const std::optional<TextSource> source = FindTextSource(table);
  if (!source) return {};
  std::string text(std::min<std::size_t>(source->size, limit), '\0');
  std::size_t placed = 0;
  if (!DecodePartToMemory(source->offset, source->line_count, true, source->encoding, message_path,
                          text.data(), text.size(), placed)) {
    return {};
  }
  text.resize(placed);
  return text;
}

std::optional<HeaderList> ReadInnerHeaders(const PartEntry& part, const std::string& message_path) {
  const bool rfc822 = part.type == "message" && part.subtype == "rfc822";
  const bool headers_only = part.type == "text" && part.subtype == "rfc822-headers";
  if (!rfc822 && !headers_only) return std::nullopt;
  // Only the header block is decoded: a forwarded message's body is never read.
  HeaderBlockCollector collector;
  if (!DecodePartPieces(part.body_offset, part.body_line_count, true, part.transfer_encoding,
                        message_path,
                        [&collector](std::string_view piece) { return collector.Take(piece); })) {
    return std::nullopt;
  }
  std::string& block = collector.block();
  if (!collector.closed()) {
    if (!headers_only) return std::nullopt;
    block += "\r\n";
  }
  UnfoldHeaderBlock(block);
  return SplitHeaderBlock(block);
}

}  // namespace pelrion::mailformat
