#include "mailformat/plain_text_segments.h"

#include "mailformat/line_reader.h"
#include "mailformat/uuencode.h"

namespace pelrion::mailformat {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// "begin ", optional spaces, digits, a space, optional blanks and a non-empty name (the rest of
// the line). The name is returned through `name`.
bool ParseBeginLine(std::string_view text, std::string_view& name) {
  constexpr std::string_view kBegin = "begin ";
  if (!text.starts_with(kBegin)) return false;
  std::size_t pos = kBegin.size();
  while (pos < text.size() && text[pos] == ' ') ++pos;
  const std::size_t digits = pos;
  while (pos < text.size() && IsDigit(text[pos])) ++pos;
  if (pos == digits || pos >= text.size() || text[pos] != ' ') return false;
  ++pos;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos >= text.size()) return false;
  name = text.substr(pos);
  return true;
}

}  // namespace

void PlainTextSegments::Start(std::uint32_t offset) {
  in_block_ = false;
  expecting_end_ = false;
  OpenText(offset);
}

void PlainTextSegments::OpenText(std::uint32_t offset) {
  Segment segment;
  segment.data_offset = offset;
  segments_.push_back(std::move(segment));
}

void PlainTextSegments::FeedLine(std::string_view line, std::uint32_t offset_after) {
  const std::string_view text = StripLineEnd(line);
  const auto length = static_cast<std::uint32_t>(line.size());
  if (segments_.empty()) OpenText(offset_after - length);  // only if Start was skipped
  if (in_block_) {
    TakeBlockLine(text, length, offset_after);
    return;
  }
  std::string_view name;
  if (ParseBeginLine(text, name)) {
    Segment block;
    block.name = std::string(name);
    block.data_offset = offset_after;
    block.uuencoded = true;
    block.block_offset = offset_after - length;
    block.block_line_count = 1;
    block.block_size = length;
    segments_.push_back(std::move(block));
    in_block_ = true;
    expecting_end_ = false;
    return;
  }
  Segment& last = segments_.back();
  ++last.data_line_count;
  last.data_size += length;
}

void PlainTextSegments::TakeBlockLine(std::string_view text, std::uint32_t length,
                                      std::uint32_t offset_after) {
  Segment& block = segments_.back();
  ++block.block_line_count;
  block.block_size += length;
  if (expecting_end_) {
    in_block_ = false;
    expecting_end_ = false;
    if (text == "end") {
      block.ended = true;
      OpenText(offset_after);
    } else {
      GiveBack();
    }
    return;
  }
  const int decoded = UudecodedLineSize(text);
  if (decoded == kUudecodeZeroLength) {
    expecting_end_ = true;
  } else if (decoded < 0) {
    in_block_ = false;
    GiveBack();
  } else {
    ++block.data_line_count;
    block.data_size += static_cast<std::uint32_t>(decoded);
  }
}

void PlainTextSegments::GiveBack() {
  Segment& block = segments_.back();
  if (segments_.size() >= 2 && !segments_[segments_.size() - 2].uuencoded) {
    Segment& text = segments_[segments_.size() - 2];
    text.data_line_count += block.block_line_count;
    text.data_size += block.block_size;
    segments_.pop_back();
    return;
  }
  block.name.clear();
  block.uuencoded = false;
  block.data_offset = block.block_offset;
  block.data_line_count = block.block_line_count;
  block.data_size = block.block_size;
}

void PlainTextSegments::Collect(PartTable& table) {
  if (segments_.size() > 1 && segments_.back().uuencoded && !segments_.back().ended) {
    in_block_ = false;
    expecting_end_ = false;
    GiveBack();
  }
  table.segments.clear();
  table.uuencoded_count = 0;
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    const Segment& segment = segments_[i];
    // Text segments made only of empty lines (or almost) are not worth listing.
    const bool kept = i == 0 || segment.uuencoded ||
                      (segment.data_line_count != 0 &&
                       static_cast<double>(segment.data_size) / segment.data_line_count > 2.0);
    if (!kept) continue;
    SegmentEntry entry;
    entry.data_offset = segment.data_offset;
    entry.data_line_count = segment.data_line_count;
    entry.data_size = segment.data_size;
    entry.uuencoded = segment.uuencoded ? 1 : 0;
    entry.name = segment.name;
    table.segments.push_back(std::move(entry));
    if (segment.uuencoded) ++table.uuencoded_count;
  }
}

}  // namespace pelrion::mailformat
