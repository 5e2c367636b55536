// BuildPartTable: from a finished scan to the message's PartTable.
#include <optional>
#include <string>
#include <vector>

#include "mailformat/ascii.h"
#include "mailformat/encoded_words.h"
#include "mailformat/file_names.h"
#include "mailformat/header_block.h"
#include "mailformat/message_text.h"
#include "mailformat/mime_scanner.h"
#include "mailformat/mime_types.h"
#include "platform/random.h"

namespace pelrion::mailformat {
namespace {

PartEntry EntryOf(const MimePartNode& node) {
  PartEntry entry;
  entry.body_offset = node.body_offset;
  entry.body_line_count = node.body_line_count;
  entry.decoded_size = node.decoded_size;
  entry.attachment = node.attachment ? 1 : 0;
  entry.transfer_encoding = node.transfer_encoding;
  entry.group_identity = node.parent != nullptr ? node.parent->serial : 0;
  entry.in_alternative = node.parent != nullptr && node.parent->subtype == "alternative" ? 1 : 0;
  entry.type = node.type;
  entry.subtype = node.subtype;
  entry.name = node.name;
  return entry;
}

// The leaf parts in document order. A part still in its headers, an undecodable part and
// everything below an unclosed multipart are left out. Walked with an explicit stack: the
// nesting depth is the sender's choice.
std::vector<PartEntry> CollectParts(const MimePartNode& root) {
  std::vector<PartEntry> entries;
  std::vector<const MimePartNode*> pending = {&root};
  while (!pending.empty()) {
    const MimePartNode* node = pending.back();
    pending.pop_back();
    if (node->in_headers) continue;
    if (node->multipart) {
      if (!node->closed) continue;
      for (auto child = node->children.rbegin(); child != node->children.rend(); ++child) {
        pending.push_back(*child);
      }
      continue;
    }
    if (!node->undecodable) entries.push_back(EntryOf(*node));
  }
  return entries;
}

// The first part that is no attachment, with the rest of its alternative group. The body of a
// single-part text message is its text whatever its disposition says: some mail programs mark
// a plain reply "inline", and a code typed into it must still be found.
void SelectText(PartTable& table, bool single_part) {
  std::vector<PartEntry>& parts = table.parts;
  if (single_part && parts.size() == 1 && parts.front().type == "text") {
    parts.front().attachment = 0;
  }
  std::size_t first = 0;
  while (first < parts.size() && parts[first].attachment != 0) ++first;
  if (first == parts.size()) return;
  std::size_t end = first + 1;
  if (parts[first].in_alternative != 0) {
    while (end < parts.size() && parts[end].group_identity == parts[first].group_identity) ++end;
  }
  table.first_text_index = static_cast<std::uint32_t>(first);
  table.text_part_count = static_cast<std::uint32_t>(end - first);
}

std::string RandomNumberText() {
  return std::to_string(platform::Rand());
}

// A forwarded message is named after its own Subject.
std::string NameForForwardedMessage(const PartEntry& part, const std::string& message_path) {
  if (const std::optional<HeaderList> headers = ReadInnerHeaders(part, message_path)) {
    if (const std::optional<std::string> subject = FindHeader(*headers, "Subject", false)) {
      const std::string decoded = DecodeHeaderText(*subject);
      std::string name(ascii::Trim(decoded));
      if (!name.empty()) {
        SanitizeFileName(name, '_');
        return name + ".eml";
      }
    }
  }
  return "A" + RandomNumberText() + ".eml";
}

std::string MadeUpName(const PartEntry& part, const std::string& message_path) {
  if (part.type == "message" && part.subtype == "rfc822") {
    return NameForForwardedMessage(part, message_path);
  }
  const std::string number = RandomNumberText();
  return "A" + number +
         ExtensionForMimeType(part.type + "/" + part.subtype).value_or(std::string(".dat"));
}

}  // namespace

PartTable BuildPartTable(MimeScanner& scanner, const std::string& message_path) {
  PartTable table;
  const MimePartNode& root = scanner.root();
  if (root.in_headers) return table;  // nothing is known of a message without a body
  if (!root.mime) {
    scanner.plain_segments().Collect(table);
    return table;
  }
  table.mime = 1;
  table.parts = CollectParts(root);
  SelectText(table, !root.multipart);
  const std::size_t text_end = table.first_text_index + table.text_part_count;
  for (std::size_t i = 0; i < table.parts.size(); ++i) {
    if (table.text_part_count != 0 && i >= table.first_text_index && i < text_end) continue;
    PartEntry& part = table.parts[i];
    part.attachment = 1;
    if (part.name.empty()) part.name = MadeUpName(part, message_path);
  }
  return table;
}

}  // namespace pelrion::mailformat
