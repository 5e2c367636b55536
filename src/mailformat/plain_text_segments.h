// The body of a plain (non-MIME) message as a run of text segments and uuencoded blocks
// ("begin <mode> <name>" ... data lines ... a zero-length line ... "end"), found line by line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/part_table.h"

namespace pelrion::mailformat {

class PlainTextSegments {
 public:
  // Opens the first text segment at the offset of the first body line.
  void Start(std::uint32_t offset);

  // Takes one body line (CR LF included); offset_after is the file offset after it.
  void FeedLine(std::string_view line, std::uint32_t offset_after);

  // Gives an unfinished last block back to the text, then fills the table's segments and
  // uuencoded count: the first segment, every uuencoded one, and every other text segment
  // whose lines average more than 2 bytes. Call once, after the last line.
  void Collect(PartTable& table);

 private:
  struct Segment {
    std::string name;  // empty for text
    std::uint32_t data_offset = 0;
    std::uint32_t data_line_count = 0;
    std::uint32_t data_size = 0;
    bool uuencoded = false;
    bool ended = false;  // the block's "end" line was seen
    // The whole block from its "begin " line, for giving it back to the text.
    std::uint32_t block_offset = 0;
    std::uint32_t block_line_count = 0;
    std::uint32_t block_size = 0;
  };

  void OpenText(std::uint32_t offset);
  void TakeBlockLine(std::string_view text, std::uint32_t length, std::uint32_t offset_after);
  // Turns the last (block) segment into text: merged into the text segment before it, or made
  // a text segment of its own.
  void GiveBack();

  std::vector<Segment> segments_;
  bool in_block_ = false;
  bool expecting_end_ = false;  // the zero-length line was seen; "end" must follow
};

}  // namespace pelrion::mailformat
