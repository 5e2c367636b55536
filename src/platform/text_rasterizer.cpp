#include "platform/text_rasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <strings.h>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace pelrion::platform {

namespace {

constexpr const char* kFontFamily = "Tahoma";
constexpr const char* kFallbackFamily = "DejaVu Sans";
constexpr int kPixelSize = 16;
// Weight 600 on the 100..900 scale; FC_WEIGHT_DEMIBOLD is the same as FC_WEIGHT_SEMIBOLD.
constexpr int kFontWeight = FC_WEIGHT_DEMIBOLD;

struct FontFile {
  std::string path;
  int index = 0;
  bool is_family = false;  // the match carries the family asked for
};

bool HasFamily(FcPattern* match, const char* family) {
  FcChar8* value = nullptr;
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &value) == FcResultMatch; ++i) {
    if (strcasecmp(reinterpret_cast<const char*>(value), family) == 0) return true;
  }
  return false;
}

// The file fontconfig picks for family at kPixelSize and weight, after the configured
// substitutions; nullopt when it offers nothing.
std::optional<FontFile> MatchFont(const char* family, int weight) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return std::nullopt;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddDouble(pattern, FC_PIXEL_SIZE, kPixelSize);
  FcPatternAddInteger(pattern, FC_WEIGHT, weight);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return std::nullopt;

  std::optional<FontFile> found;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
    found.emplace();
    found->path = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &found->index) != FcResultMatch) found->index = 0;
    found->is_family = HasFamily(match, family);
  }
  FcPatternDestroy(match);
  return found;
}

// Tahoma when fontconfig has it; otherwise DejaVu Sans Bold, so the picture does not depend
// on whatever the desktop substitutes for a missing family. Should DejaVu be missing too,
// the substitute fontconfig chose for Tahoma still draws readable digits.
std::optional<FontFile> ChooseFontFile() {
  if (FcInit() == FcFalse) return std::nullopt;
  std::optional<FontFile> tahoma = MatchFont(kFontFamily, kFontWeight);
  if (tahoma && tahoma->is_family) return tahoma;
  std::optional<FontFile> fallback = MatchFont(kFallbackFamily, FC_WEIGHT_BOLD);
  if (fallback && fallback->is_family) return fallback;
  return tahoma;
}

std::int32_t RoundedPixels(FT_Pos value) {
  return static_cast<std::int32_t>((value + 32) >> 6);
}

class FreeTypeRasterizer final : public TextRasterizer {
 public:
  std::string FontName() override {
    std::lock_guard lock(mutex_);
    if (!Loaded()) return {};
    std::string name = face_->family_name != nullptr ? face_->family_name : "";
    if (face_->style_name != nullptr) name.append(" ").append(face_->style_name);
    return name;
  }

  std::optional<TextExtent> MeasureText(std::string_view text) override {
    std::lock_guard lock(mutex_);
    if (!Loaded()) return std::nullopt;
    TextExtent extent;
    extent.height = RoundedPixels(face_->size->metrics.height);
    for (unsigned char c : text) {
      if (!LoadGlyph(c)) return std::nullopt;
      extent.width += RoundedPixels(face_->glyph->advance.x);
    }
    return extent;
  }

  bool DrawText(PixelSurface& surface, PixelRect box, std::string_view text) override {
    std::lock_guard lock(mutex_);
    if (!Loaded()) return false;
    const std::int64_t baseline = std::int64_t{box.top} + Ascent();
    std::int64_t pen = box.left;
    for (unsigned char c : text) {
      if (!LoadGlyph(c)) return false;
      FT_GlyphSlot slot = face_->glyph;
      if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return false;
      if (slot->bitmap.rows > 0 && slot->bitmap.pixel_mode != FT_PIXEL_MODE_MONO) return false;
      Blit(surface, box, slot->bitmap, pen + slot->bitmap_left, baseline - slot->bitmap_top);
      pen += RoundedPixels(slot->advance.x);
    }
    return true;
  }

 private:
  // Loads the font at the first call; later calls report what the first found.
  bool Loaded() {
    if (!tried_) {
      tried_ = true;
      Load();
    }
    return face_ != nullptr;
  }

  void Load() {
    const std::optional<FontFile> file = ChooseFontFile();
    if (!file) return;
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library_, file->path.c_str(), file->index, &face) != 0) return;
    if (FT_Set_Pixel_Sizes(face, 0, kPixelSize) != 0) {
      FT_Done_Face(face);
      return;
    }
    face_ = face;
  }

  // Hinted for a one-bit target, so advances are whole pixels and match the drawing.
  bool LoadGlyph(unsigned char c) {
    const FT_UInt index = FT_Get_Char_Index(face_, c);
    return FT_Load_Glyph(face_, index, FT_LOAD_TARGET_MONO) == 0;
  }

  std::int32_t Ascent() const {
    return static_cast<std::int32_t>((face_->size->metrics.ascender + 63) >> 6);
  }

  // Sets the pixels of the glyph's set bits, the bitmap's top-left corner at (left, top).
  static void Blit(PixelSurface& surface, PixelRect box, const FT_Bitmap& bitmap, std::int64_t left,
                   std::int64_t top) {
    const std::int64_t clip_left = box.left;
    const std::int64_t clip_top = box.top;
    const std::int64_t clip_right = std::int64_t{box.left} + box.width;
    const std::int64_t clip_bottom = std::int64_t{box.top} + box.height;
    const unsigned stride = static_cast<unsigned>(std::abs(bitmap.pitch));
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      const std::int64_t y = top + row;
      if (y < clip_top || y >= clip_bottom) continue;
      // A negative pitch means the rows are stored bottom row first.
      const unsigned memory_row = bitmap.pitch < 0 ? bitmap.rows - 1 - row : row;
      const unsigned char* bits = bitmap.buffer + std::size_t{memory_row} * stride;
      for (unsigned column = 0; column < bitmap.width; ++column) {
        const std::int64_t x = left + column;
        if (x < clip_left || x >= clip_right) continue;
        if ((bits[column / 8] & (0x80u >> (column % 8))) == 0) continue;
        surface.SetPixel(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), kBlack);
      }
    }
  }

  std::mutex mutex_;
  bool tried_ = false;
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

TextRasterizer& FreeTypeInstance() {
  // Never destroyed: a worker thread may still be drawing while the process exits.
  static auto* instance = new FreeTypeRasterizer;
  return *instance;
}

std::atomic<TextRasterizer*> g_rasterizer{nullptr};

}  // namespace

TextRasterizer& CurrentTextRasterizer() {
  TextRasterizer* installed = g_rasterizer.load(std::memory_order_acquire);
  return installed != nullptr ? *installed : FreeTypeInstance();
}

void SetTextRasterizer(TextRasterizer* rasterizer) {
  g_rasterizer.store(rasterizer, std::memory_order_release);
}

}  // namespace pelrion::platform
