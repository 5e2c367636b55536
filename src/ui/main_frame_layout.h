// The main window's layout as it is kept between runs: the fixed "Main Frame" record (folder
// bar width and two flags, guarded by a digest) and "CoolBarState", which holds everything
// else (geometry, bars, columns, sort order) in a form of our own that may grow.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/registry.h"

namespace pelrion::ui {

inline constexpr std::string_view kMainFrameValue = "Main Frame";
inline constexpr std::string_view kCoolBarStateValue = "CoolBarState";
inline constexpr std::size_t kMainFrameSize = 28;
inline constexpr int kDefaultFolderBarWidth = 110;

struct MainFrameLayout {
  int folder_bar_width = kDefaultFolderBarWidth;  // kept only when 32..600
  bool folder_bar_shown = true;                   // the splitter-state flag
  bool status_bar_shown = true;                   // the third flag
};

// 16-byte MD5 of the 12 bytes that follow, then the three values as little-endian 32-bit
// integers.
platform::RegistryBinary EncodeMainFrame(const MainFrameLayout& layout);
// The defaults for a record that is missing, not 28 bytes long or whose digest does not
// match; an out-of-range width alone falls back to its default.
MainFrameLayout DecodeMainFrame(const std::optional<platform::RegistryBinary>& bytes);

MainFrameLayout LoadMainFrame(const platform::Registry& registry);
void SaveMainFrame(platform::Registry& registry, const MainFrameLayout& layout);

// The rest of the layout, as the widgets save it.
struct CoolBarState {
  QByteArray geometry;                   // QWidget::saveGeometry
  QByteArray window_state;               // QMainWindow::saveState
  QByteArray header_state;               // the message list header (widths, hidden columns, sort)
  std::uint32_t chosen_columns = 0x3FF;  // one bit per list column the user chose to see
  bool folder_caption_shown = true;
};

QByteArray EncodeCoolBarState(const CoolBarState& state);
// nullopt for anything that is not a whole record of ours (damaged or from another version).
std::optional<CoolBarState> DecodeCoolBarState(const QByteArray& bytes);

std::optional<CoolBarState> LoadCoolBarState(const platform::Registry& registry);
void SaveCoolBarState(platform::Registry& registry, const CoolBarState& state);

}  // namespace pelrion::ui
