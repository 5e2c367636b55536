// A caller-owned drawing surface of 32-bit pixels (blue, green, red and an unused byte, in
// that memory order) whose rows are stored bottom row first, the layout of a bottom-up
// device-independent bitmap and what the GIF encoder reads. Drawing coordinates count rows
// from the top; whatever falls outside the surface is clipped, never written.
#pragma once

#include <cstdint>
#include <span>

namespace pelrion::platform {

// Colours as 0xRRGGBB.
inline constexpr std::uint32_t kBlack = 0x000000;
inline constexpr std::uint32_t kWhite = 0xFFFFFF;

// A rectangle in top-down surface coordinates; empty when width or height is not positive.
struct PixelRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

class PixelSurface {
 public:
  // bytes must hold width * height * 4 bytes. A shorter span or a size that is not positive
  // gives an empty surface (width and height 0) that ignores every drawing call.
  PixelSurface(std::span<std::uint8_t> bytes, std::int32_t width, std::int32_t height);

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }

  // 0xRRGGBB of the pixel in column x of row y (from the top); 0 outside the surface.
  std::uint32_t Pixel(std::int32_t x, std::int32_t y) const;
  // Sets one pixel (the fourth byte to 0); ignored outside the surface.
  void SetPixel(std::int32_t x, std::int32_t y, std::uint32_t rgb);

  // Paints every pixel of rect.
  void Fill(PixelRect rect, std::uint32_t rgb);
  // Paints a border one pixel wide along the inside of rect's edge.
  void Frame(PixelRect rect, std::uint32_t rgb);

 private:
  std::uint8_t* At(std::int32_t x, std::int32_t y) const;

  std::span<std::uint8_t> bytes_;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
};

}  // namespace pelrion::platform
