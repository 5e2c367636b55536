// The rows of the message explorer: which parts of a message's part table it lists under
// each tab, under what names, and which of them count as safe to open directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/part_table.h"

namespace pelrion::ui {

enum class ExplorerTab { kTextFormats = 0, kAttachments = 1 };

struct ExplorerItem {
  std::string display_name;
  std::size_t index = 0;   // into the parts (MIME message) or the segments (plain message)
  std::uint32_t size = 0;  // decoded size
  bool safe_type = false;  // the display name's extension is on the safe list
};

// MIME message: one "message_text<ext>" row per part of the text run (ext registered for the
// part's type, else ".dat"). Plain message: "message_text.txt" for segment 0, if any.
std::vector<ExplorerItem> TextFormatItems(const mailformat::PartTable& table);

// MIME message: the parts before and after the text run, by their names. Plain message: the
// uuencoded segments from 1 on, by the names of their "begin" lines.
std::vector<ExplorerItem> AttachmentItems(const mailformat::PartTable& table);

std::vector<ExplorerItem> ItemsOfTab(const mailformat::PartTable& table, ExplorerTab tab);

// Whether the text after the name's last '.' is, ignoring case, one of the types that open
// without risk: bmp dat eml gif gz jpg pdf rtf txt zip rar.
bool IsSafeType(std::string_view display_name);

// "%s (%s)": the display name and the size in whole kilobytes.
std::string ExplorerRowText(const ExplorerItem& item);

}  // namespace pelrion::ui
