#include "ui/explorer_items.h"

#include <algorithm>
#include <array>
#include <optional>

#include "mailformat/mime_types.h"
#include "mailformat/size_text.h"

namespace pelrion::ui {
namespace {

using mailformat::PartEntry;
using mailformat::PartTable;

constexpr std::array<std::string_view, 11> kSafeTypes = {"bmp", "dat", "eml", "gif", "gz", "jpg",
                                                         "pdf", "rtf", "txt", "zip", "rar"};

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

ExplorerItem MakeItem(std::string name, std::size_t index, std::uint32_t size) {
  ExplorerItem item{.display_name = std::move(name), .index = index, .size = size};
  item.safe_type = IsSafeType(item.display_name);
  return item;
}

// The text run as [first, end) clamped to the parts that exist.
std::pair<std::size_t, std::size_t> TextRun(const PartTable& table) {
  const std::size_t first = std::min<std::size_t>(table.first_text_index, table.parts.size());
  const std::size_t end =
      std::min<std::size_t>(first + std::size_t{table.text_part_count}, table.parts.size());
  return {first, end};
}

std::string TextFormatName(const PartEntry& part) {
  const std::optional<std::string> extension =
      mailformat::ExtensionForMimeType(part.type + "/" + part.subtype);
  return "message_text" + extension.value_or(".dat");
}

}  // namespace

std::vector<ExplorerItem> TextFormatItems(const PartTable& table) {
  std::vector<ExplorerItem> items;
  if (table.mime != 0) {
    const auto [first, end] = TextRun(table);
    for (std::size_t i = first; i < end; ++i) {
      items.push_back(MakeItem(TextFormatName(table.parts[i]), i, table.parts[i].decoded_size));
    }
  } else if (!table.segments.empty()) {
    items.push_back(MakeItem("message_text.txt", 0, table.segments[0].data_size));
  }
  return items;
}

std::vector<ExplorerItem> AttachmentItems(const PartTable& table) {
  std::vector<ExplorerItem> items;
  if (table.mime != 0) {
    const auto [first, end] = TextRun(table);
    for (std::size_t i = 0; i < table.parts.size(); ++i) {
      if (i >= first && i < end) continue;
      items.push_back(MakeItem(table.parts[i].name, i, table.parts[i].decoded_size));
    }
  } else {
    for (std::size_t i = 1; i < table.segments.size(); ++i) {
      const mailformat::SegmentEntry& segment = table.segments[i];
      if (segment.uuencoded == 0) continue;
      items.push_back(MakeItem(segment.name, i, segment.data_size));
    }
  }
  return items;
}

std::vector<ExplorerItem> ItemsOfTab(const PartTable& table, ExplorerTab tab) {
  return tab == ExplorerTab::kTextFormats ? TextFormatItems(table) : AttachmentItems(table);
}

bool IsSafeType(std::string_view display_name) {
  const std::size_t dot = display_name.find_last_of('.');
  if (dot == std::string_view::npos) return false;
  const std::string extension = Lower(display_name.substr(dot + 1));
  return std::find(kSafeTypes.begin(), kSafeTypes.end(), extension) != kSafeTypes.end();
}

std::string ExplorerRowText(const ExplorerItem& item) {
  return item.display_name + " (" + mailformat::FormatSizeKb(item.size) + ")";
}

}  // namespace pelrion::ui
