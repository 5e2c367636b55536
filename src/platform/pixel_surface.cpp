#include "platform/pixel_surface.h"

#include <algorithm>
#include <cstddef>

namespace pelrion::platform {

namespace {

constexpr std::size_t kBytesPerPixel = 4;

}  // namespace

PixelSurface::PixelSurface(std::span<std::uint8_t> bytes, std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return;
  // Divide instead of multiplying: width * height * 4 may not fit in 64 bits.
  const std::size_t pixels_held = bytes.size() / kBytesPerPixel;
  if (static_cast<std::size_t>(width) > pixels_held / static_cast<std::size_t>(height)) return;
  bytes_ = bytes;
  width_ = width;
  height_ = height;
}

std::uint8_t* PixelSurface::At(std::int32_t x, std::int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
  const std::size_t memory_row = static_cast<std::size_t>(height_ - 1 - y);
  const std::size_t offset =
      (memory_row * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)) *
      kBytesPerPixel;
  return bytes_.data() + offset;
}

std::uint32_t PixelSurface::Pixel(std::int32_t x, std::int32_t y) const {
  const std::uint8_t* p = At(x, y);
  if (p == nullptr) return 0;
  return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

void PixelSurface::SetPixel(std::int32_t x, std::int32_t y, std::uint32_t rgb) {
  std::uint8_t* p = At(x, y);
  if (p == nullptr) return;
  p[0] = static_cast<std::uint8_t>(rgb);
  p[1] = static_cast<std::uint8_t>(rgb >> 8);
  p[2] = static_cast<std::uint8_t>(rgb >> 16);
  p[3] = 0;
}

void PixelSurface::Fill(PixelRect rect, std::uint32_t rgb) {
  // Clip in 64 bits so that a rectangle reaching past the 32-bit range cannot wrap around.
  const std::int64_t left = std::max<std::int64_t>(rect.left, 0);
  const std::int64_t top = std::max<std::int64_t>(rect.top, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{rect.left} + rect.width, width_);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{rect.top} + rect.height, height_);
  for (std::int64_t y = top; y < bottom; ++y) {
    for (std::int64_t x = left; x < right; ++x) {
      SetPixel(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), rgb);
    }
  }
}

void PixelSurface::Frame(PixelRect rect, std::uint32_t rgb) {
  if (rect.width <= 0 || rect.height <= 0) return;
  const std::int64_t right = std::int64_t{rect.left} + rect.width - 1;
  const std::int64_t bottom = std::int64_t{rect.top} + rect.height - 1;
  const auto clamp = [](std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
  };
  Fill({rect.left, rect.top, rect.width, 1}, rgb);
  Fill({rect.left, clamp(bottom), rect.width, 1}, rgb);
  Fill({rect.left, rect.top, 1, rect.height}, rgb);
  Fill({clamp(right), rect.top, 1, rect.height}, rgb);
}

}  // namespace pelrion::platform
