#include "mailformat/mime_scanner.h"

namespace pelrion::mailformat {

MimeScanner::MimeScanner() {
  deepest_ = &NewNode(nullptr);
}

MimePartNode& MimeScanner::NewNode(MimePartNode* parent) {
  auto node = std::make_unique<MimePartNode>();
  node->serial = static_cast<std::uint32_t>(nodes_.size() + 1);
  node->parent = parent;
  node->depth = parent != nullptr ? parent->depth + 1 : 0;
  nodes_.push_back(std::move(node));
  return *nodes_.back();
}

void MimeScanner::FeedLine(std::string_view line, std::uint32_t offset_after) {
  // deepest_ is where a walk down the current-child links from the root would end.
  MimePartNode& node = *deepest_;
  if (!mutable_root().in_headers) ++body_line_count_;
  if (node.in_headers) {
    node.header_text.append(line);
    if (line == "\r\n") EndHeaders(node, offset_after);
    return;
  }
  if (!node.mime) {
    plain_.FeedLine(line, offset_after);
    return;
  }
  if (node.multipart) {
    // Preamble and epilogue lines are ignored.
    const BoundaryKind kind = BoundaryKindOf(line, node.boundary);
    if (kind != BoundaryKind::kNone) TakeBoundary(node, kind);
    return;
  }
  if (node.parent != nullptr) {
    // Only the immediate parent's boundary is recognised from inside a leaf.
    const BoundaryKind kind = BoundaryKindOf(line, node.parent->boundary);
    if (kind != BoundaryKind::kNone && TakeBoundary(*node.parent, kind)) return;
  }
  node.TakeBodyLine(line);
}

void MimeScanner::EndHeaders(MimePartNode& node, std::uint32_t offset) {
  node.ParseHeaders(node.depth < kMaxNestingDepth);
  node.in_headers = false;
  if (&node == &mutable_root()) header_length_ = offset;
  if (!node.mime) {
    plain_.Start(offset);
  } else if (node.multipart) {
    node.closed = false;
  } else {
    node.body_offset = offset;
    node.body_line_count = 0;
    node.decoded_size = 0;
    node.base64_end = false;
  }
}

bool MimeScanner::TakeBoundary(MimePartNode& multipart, BoundaryKind kind) {
  if (kind == BoundaryKind::kClose) {
    // Following lines go to the multipart's parent.
    multipart.closed = true;
    multipart.current_child = nullptr;
    if (multipart.parent != nullptr) multipart.parent->current_child = nullptr;
    deepest_ = multipart.parent != nullptr ? multipart.parent : &multipart;
    return true;
  }
  if (nodes_.size() > kMaxParts) return false;  // nodes_ holds the root besides the parts
  MimePartNode& child = NewNode(&multipart);
  multipart.children.push_back(&child);
  multipart.current_child = &child;
  deepest_ = &child;
  return true;
}

}  // namespace pelrion::mailformat
