#include "mailformat/message_text.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "mailformat/header_block.h"
#include "mailformat/line_reader.h"
#include "mailformat/part_decoder.h"
#include "platform/random.h"

namespace pelrion::mailformat {
namespace {

struct TextSource {
  std::uint32_t offset = 0;
  std::uint32_t line_count = 0;
  std::uint32_t size = 0;
  std::uint32_t encoding = 0;
};

std::optional<TextSource> FindTextSource(const PartTable& table) {
  if (table.mime == 0) {
    if (table.segments.empty()) return std::nullopt;
    const SegmentEntry& segment = table.segments.front();
    return TextSource{segment.data_offset, segment.data_line_count, segment.data_size, 0};
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

// Lines of the file up to and including the first line that is exactly CR LF. When the file ends
// first, nullopt unless end_may_close, in which case a CR LF is added.
std::optional<std::string> ReadHeaderBlock(const std::string& path, bool end_may_close) {
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) return std::nullopt;
  std::string block;
  bool closed = false;
  {
    LineReader reader(file);
    std::string_view line;
    while (reader.ReadLine(false, line)) {
      block.append(line);
      if (line == "\r\n") {
        closed = true;
        break;
      }
    }
  }
  std::fclose(file);
  if (!closed) {
    if (!end_may_close) return std::nullopt;
    block += "\r\n";
  }
  return block;
}

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

std::optional<HeaderList> ReadInnerHeaders(const PartEntry& part, const std::string& message_path,
                                           const std::string& temp_folder) {
  const bool rfc822 = part.type == "message" && part.subtype == "rfc822";
  const bool headers_only = part.type == "text" && part.subtype == "rfc822-headers";
  if (!rfc822 && !headers_only) return std::nullopt;
  const std::string decoded_path =
      temp_folder + "E" + std::to_string(static_cast<unsigned>(platform::Rand()));
  if (!DecodePartToFile(part.body_offset, part.body_line_count, true, part.transfer_encoding,
                        message_path, decoded_path)) {
    return std::nullopt;
  }
  std::optional<std::string> block = ReadHeaderBlock(decoded_path, headers_only);
  if (!block) return std::nullopt;
  UnfoldHeaderBlock(*block);
  return SplitHeaderBlock(*block);
}

}  // namespace pelrion::mailformat
