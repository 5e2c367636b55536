#include "validation/captcha.h"

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/fatal_stop.h"
#include "platform/pixel_surface.h"
#include "platform/text_rasterizer.h"
#include "validation/gif_encoder.h"

namespace pelrion::validation {

namespace {

constexpr std::int32_t kExtraWidth = 8;   // 4 pixels each side of the text
constexpr std::int32_t kExtraHeight = 4;  // 2 pixels above and below
constexpr std::int32_t kMaxSide = 0xFFFF;

}  // namespace

CaptchaImage RenderCaptcha(std::int32_t code) {
  const std::string text = std::to_string(code);
  platform::TextRasterizer& rasterizer = platform::CurrentTextRasterizer();
  const std::optional<platform::TextExtent> extent = rasterizer.MeasureText(text);
  if (!extent || extent->width < 0 || extent->height < 0 ||
      extent->width > kMaxSide - kExtraWidth || extent->height > kMaxSide - kExtraHeight) {
    platform::FatalStop(platform::kGuiFailure);
  }
  const std::int32_t width = extent->width + kExtraWidth;
  const std::int32_t height = extent->height + kExtraHeight;

  std::vector<std::uint8_t> pixels(std::size_t{4} * static_cast<std::size_t>(width) *
                                   static_cast<std::size_t>(height));
  platform::PixelSurface surface(pixels, width, height);
  const platform::PixelRect whole{0, 0, width, height};
  surface.Fill(whole, platform::kWhite);
  surface.Frame(whole, platform::kBlack);
  const platform::PixelRect text_box{(width - extent->width) / 2, (height - extent->height) / 2,
                                     extent->width, extent->height};
  if (!rasterizer.DrawText(surface, text_box, text)) platform::FatalStop(platform::kGuiFailure);

  CaptchaImage image;
  image.width = static_cast<std::uint32_t>(width);
  image.height = static_cast<std::uint32_t>(height);
  image.gif = EncodeGif(pixels, image.width, image.height, GifOptions{});
  return image;
}

}  // namespace pelrion::validation
