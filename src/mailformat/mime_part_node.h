// One header block of a message being scanned (the whole message, or one part of a multipart)
// and what the scanner has learnt about its body. Nodes belong to their MimeScanner.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/transfer_encoding.h"

namespace pelrion::mailformat {

// What a line is to a multipart with a given boundary.
enum class BoundaryKind { kNone, kNextPart, kClose };

// "--boundary" at the start of line (a prefix match) opens the next part; when "--" directly
// follows the boundary text the line closes the multipart.
BoundaryKind BoundaryKindOf(std::string_view line, std::string_view boundary);

struct MimePartNode {
  std::uint32_t serial = 0;        // unique and non-zero within the scan
  MimePartNode* parent = nullptr;  // the enclosing multipart; none for the whole message
  std::uint32_t depth = 0;         // number of enclosing multiparts
  bool in_headers = true;          // until the empty line that ends the header block
  std::string header_text;         // raw header lines (released after parsing, except the root's)
  bool mime = false;               // has a parent, or the root has "MIME-Version"
  std::string type = "text";       // lower case
  std::string subtype = "plain";   // lower case
  std::uint32_t body_offset = 0;   // file offset of the first body line
  std::uint32_t body_line_count = 0;
  std::uint32_t decoded_size = 0;
  bool attachment = false;
  std::string name;
  TransferEncoding transfer_encoding = TransferEncoding::k7Bit;
  bool undecodable = false;  // code 4, or a base64 line that failed: left out of the table
  bool base64_end = false;   // a base64 line held "="; later lines are not counted
  bool multipart = false;
  std::string boundary;
  std::vector<MimePartNode*> children;
  MimePartNode* current_child = nullptr;  // the child that receives lines
  bool closed = false;                    // the closing boundary was seen

  // Reads the header text collected so far: MIME flag, type, boundary, name, encoding,
  // attachment flag. A malformed or missing field falls back to its default. When may_nest is
  // false a multipart is read as a multipart without a usable boundary (text/plain): its
  // structure stays in its body lines.
  void ParseHeaders(bool may_nest);

  // Takes one body line (CR LF included) of a leaf part: counts it and its decoded size
  // (found without decoding the line).
  void TakeBodyLine(std::string_view line);
};

}  // namespace pelrion::mailformat
