// Rasterizer port: one line of text in the CAPTCHA font ("Tahoma" at 16 pixels, weight 600),
// measured and drawn in black without grey levels, so a black-and-white surface stays
// two-coloured. The Linux implementation matches the font through fontconfig and renders
// monochrome glyphs with FreeType; when no Tahoma is installed it uses DejaVu Sans Bold.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/pixel_surface.h"

namespace pelrion::platform {

// The size of one line of text: width = the sum of the characters' advances, height = the
// font's line height.
struct TextExtent {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

class TextRasterizer {
 public:
  virtual ~TextRasterizer() = default;

  // The family and style of the font in use ("DejaVu Sans Bold"); empty when none could be
  // loaded.
  virtual std::string FontName() = 0;
  // Measures text (bytes read as Latin-1 characters). nullopt when the font or a glyph
  // cannot be loaded.
  virtual std::optional<TextExtent> MeasureText(std::string_view text) = 0;
  // Draws text in black, the top of its line at box.top and its first character starting at
  // box.left, clipped to box and to the surface; no other pixel changes. false when the font
  // or a glyph cannot be loaded or rendered (the surface may then hold part of the text).
  virtual bool DrawText(PixelSurface& surface, PixelRect box, std::string_view text) = 0;
};

// The process-wide rasterizer. The FreeType one loads its font at first use, once, and keeps
// it for the life of the process; its calls are serialised, so any thread may measure and
// draw. SetTextRasterizer installs another (tests); nullptr restores the FreeType one.
TextRasterizer& CurrentTextRasterizer();
void SetTextRasterizer(TextRasterizer* rasterizer);

}  // namespace pelrion::platform
