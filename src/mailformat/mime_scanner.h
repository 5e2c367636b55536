// Single-pass MIME structure scanner. The downloader feeds every line of a message as it writes
// it to the message file; the scanner keeps header blocks, boundaries and, per leaf part, where
// its body starts, how many lines it has and how many bytes they decode to — never the bodies.
// BuildPartTable then turns the scan into the message's PartTable.
//
// Limits: at most kMaxParts header blocks below the message's own and kMaxNestingDepth
// multiparts nested in one another, so that a hostile message cannot make the scan hold
// millions of nodes. Beyond them further structure is kept as body lines of the current part:
// a boundary that would open one part too many is a body line of the part it ends, and a
// multipart nested too deeply is read as text/plain. The message is still stored whole. No
// limit on line length: lines are walked without recursion, and the node receiving lines is
// kept at hand, so each line costs time linear in its length. A part whose header block never
// ends takes every following line into its header text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/mime_part_node.h"
#include "mailformat/part_table.h"
#include "mailformat/plain_text_segments.h"

namespace pelrion::mailformat {

inline constexpr std::size_t kMaxParts = 10'000;
inline constexpr std::uint32_t kMaxNestingDepth = 100;

class MimeScanner {
 public:
  MimeScanner();
  MimeScanner(const MimeScanner&) = delete;
  MimeScanner& operator=(const MimeScanner&) = delete;

  // One line of the message, its line end included (after dot unstuffing), and the file offset
  // that follows it.
  void FeedLine(std::string_view line, std::uint32_t offset_after);

  // Whether the message's own header block has ended (its empty line was fed).
  bool headers_ended() const { return !root().in_headers; }
  // Offset of the first body byte; 0 until the header block has ended.
  std::uint32_t header_length() const { return header_length_; }
  // Lines fed after the header block's empty line.
  std::uint32_t body_line_count() const { return body_line_count_; }
  // The message's raw header lines, the ending empty line included once it has been fed.
  const std::string& header_text() const { return root().header_text; }

  // The whole message's node; its children describe the parts.
  const MimePartNode& root() const { return *nodes_.front(); }
  // The text segments and uuencoded blocks of a plain message.
  PlainTextSegments& plain_segments() { return plain_; }

 private:
  MimePartNode& mutable_root() { return *nodes_.front(); }
  MimePartNode& NewNode(MimePartNode* parent);
  void EndHeaders(MimePartNode& node, std::uint32_t offset);
  // False when the boundary would open a part beyond kMaxParts: it is then no boundary.
  bool TakeBoundary(MimePartNode& multipart, BoundaryKind kind);

  std::vector<std::unique_ptr<MimePartNode>> nodes_;  // every node; nodes_[0] is the root
  MimePartNode* deepest_;  // the end of the current-child chain from the root
  PlainTextSegments plain_;
  std::uint32_t header_length_ = 0;
  std::uint32_t body_line_count_ = 0;
};

// The part table of the scanned message. message_path is the stored message file (the header
// block of a forwarded message is read from it for the Subject that names the part). Parts
// outside the message text are named "A<n><ext>" (n from platform::Rand()) when they carry no
// name. Call once, after the last line.
PartTable BuildPartTable(MimeScanner& scanner, const std::string& message_path);

}  // namespace pelrion::mailformat
