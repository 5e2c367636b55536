// The CAPTCHA picture: its size from the measured text, the frame, the text at (4, 2), two
// colours with black first, read back with giflib; the geometry with a stand-in rasterizer;
// the drawing failures that end the process; rendering from several threads.
#include "validation/captcha.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/pixel_surface.h"
#include "platform/text_rasterizer.h"
#include "support/temp_dir.h"
#include "validation/gif_test_helpers.h"

namespace pelrion::validation {
namespace {

using platform::PixelRect;
using platform::PixelSurface;
using platform::TextExtent;
using testing_gif::DecodedGif;
using testing_gif::DecodeWithGiflib;
using testing_gif::ReadLayout;

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;

std::string DecimalText(std::int32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", code);
  return text;
}

// The decoded picture's colour at (x, y), top row first.
std::uint32_t At(const DecodedGif& gif, int x, int y) {
  return gif.colour_table.at(gif.indices.at(std::size_t(y) * gif.image_width + x));
}

// Checks the two-colour file layout, the one-pixel black frame with white just inside it,
// and that every other black pixel lies in the text box; returns the black pixels in the box.
int CheckFrameAndBox(const CaptchaImage& image, const DecodedGif& gif, PixelRect text_box) {
  const testing_gif::GifLayout layout = ReadLayout(image.gif);
  EXPECT_TRUE(layout.ok) << layout.error;
  EXPECT_EQ(layout.screen_packed, 0x80);
  EXPECT_EQ(layout.min_code_size, 2);
  EXPECT_FALSE(layout.has_control_extension);
  EXPECT_EQ(gif.control_extensions, 0);
  // The bottom row, frame, is met first in memory: black is entry 0.
  EXPECT_EQ(gif.colour_table, (std::vector<std::uint32_t>{kBlack, kWhite}));
  EXPECT_EQ(gif.screen_width, static_cast<int>(image.width));
  EXPECT_EQ(gif.screen_height, static_cast<int>(image.height));
  EXPECT_EQ(gif.image_width, static_cast<int>(image.width));
  EXPECT_EQ(gif.image_height, static_cast<int>(image.height));
  if (::testing::Test::HasFailure()) return 0;

  const int w = gif.image_width;
  const int h = gif.image_height;
  int ink = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint32_t rgb = At(gif, x, y);
      const bool frame = x == 0 || y == 0 || x == w - 1 || y == h - 1;
      const bool next_to_frame = !frame && (x == 1 || y == 1 || x == w - 2 || y == h - 2);
      const bool in_box = x >= text_box.left && x < text_box.left + text_box.width &&
                          y >= text_box.top && y < text_box.top + text_box.height;
      if (frame) {
        EXPECT_EQ(rgb, kBlack) << "frame pixel " << x << "," << y;
      } else if (next_to_frame) {
        EXPECT_EQ(rgb, kWhite) << "pixel inside the frame " << x << "," << y;
      } else if (!in_box) {
        EXPECT_EQ(rgb, kWhite) << "pixel outside the text box " << x << "," << y;
      } else if (rgb == kBlack) {
        ++ink;
      }
    }
  }
  return ink;
}

class CaptchaCodeTest : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(CaptchaCodeTest, FramedTextOfTheMeasuredSizeInTwoColours) {
  const std::int32_t code = GetParam();
  const std::string text = DecimalText(code);
  const std::optional<TextExtent> extent = platform::CurrentTextRasterizer().MeasureText(text);
  ASSERT_TRUE(extent.has_value());

  const CaptchaImage image = RenderCaptcha(code);
  EXPECT_EQ(image.width, static_cast<std::uint32_t>(extent->width + 8));
  EXPECT_EQ(image.height, static_cast<std::uint32_t>(extent->height + 4));
  const DecodedGif gif = DecodeWithGiflib(image.gif);
  ASSERT_TRUE(gif.ok) << gif.error;
  const PixelRect text_box{4, 2, extent->width, extent->height};
  EXPECT_GT(CheckFrameAndBox(image, gif, text_box), 0) << "no text drawn";

  // Inside the frame the picture is exactly the rasterizer's drawing of the text at (4, 2).
  std::vector<std::uint8_t> bytes(std::size_t(image.width) * image.height * 4);
  PixelSurface expected(bytes, static_cast<std::int32_t>(image.width),
                        static_cast<std::int32_t>(image.height));
  expected.Fill({0, 0, expected.width(), expected.height()}, kWhite);
  ASSERT_TRUE(platform::CurrentTextRasterizer().DrawText(expected, text_box, text));
  int differences = 0;
  for (int y = 1; y + 1 < gif.image_height; ++y) {
    for (int x = 1; x + 1 < gif.image_width; ++x) {
      if (At(gif, x, y) != expected.Pixel(x, y)) ++differences;
    }
  }
  EXPECT_EQ(differences, 0);
}

INSTANTIATE_TEST_SUITE_P(Codes, CaptchaCodeTest,
                         ::testing::Values(123456, 654321, 100000, 999999, 0, -1, INT_MIN, INT_MAX),
                         [](const auto& info) {
                           const std::string text = DecimalText(info.param);
                           return text[0] == '-' ? "Minus" + text.substr(1) : text;
                         });

TEST(Captcha, DifferentCodesDifferentPictures) {
  const CaptchaImage first = RenderCaptcha(123456);
  const CaptchaImage second = RenderCaptcha(123457);
  EXPECT_NE(DecodeWithGiflib(first.gif).indices, DecodeWithGiflib(second.gif).indices);
  EXPECT_EQ(RenderCaptcha(123456).gif, first.gif);
}

// Stands in for the font: a fixed extent, and the box painted black instead of glyphs.
class BoxRasterizer : public platform::TextRasterizer {
 public:
  std::string FontName() override { return "box"; }
  std::optional<TextExtent> MeasureText(std::string_view text) override {
    measured.emplace_back(text);
    if (!measure_ok) return std::nullopt;
    return extent;
  }
  bool DrawText(PixelSurface& surface, PixelRect box, std::string_view text) override {
    drawn.emplace_back(text);
    boxes.push_back(box);
    if (!draw_ok) return false;
    surface.Fill(box, platform::kBlack);
    return true;
  }

  TextExtent extent;
  bool measure_ok = true;
  bool draw_ok = true;
  std::vector<std::string> measured;
  std::vector<std::string> drawn;
  std::vector<PixelRect> boxes;
};

class InstalledRasterizer {
 public:
  explicit InstalledRasterizer(platform::TextRasterizer& r) { platform::SetTextRasterizer(&r); }
  ~InstalledRasterizer() { platform::SetTextRasterizer(nullptr); }
  InstalledRasterizer(const InstalledRasterizer&) = delete;
  InstalledRasterizer& operator=(const InstalledRasterizer&) = delete;
};

struct GeometryCase {
  const char* name;
  std::int32_t code;
  TextExtent extent;
};

class CaptchaGeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(CaptchaGeometryTest, TextBoxFourInAndTwoDown) {
  const GeometryCase& c = GetParam();
  BoxRasterizer box;
  box.extent = c.extent;
  InstalledRasterizer installed(box);
  const CaptchaImage image = RenderCaptcha(c.code);

  EXPECT_EQ(box.measured, std::vector<std::string>{DecimalText(c.code)});
  EXPECT_EQ(box.drawn, std::vector<std::string>{DecimalText(c.code)});
  ASSERT_EQ(box.boxes.size(), 1u);
  EXPECT_EQ(box.boxes[0].left, 4);
  EXPECT_EQ(box.boxes[0].top, 2);
  EXPECT_EQ(box.boxes[0].width, c.extent.width);
  EXPECT_EQ(box.boxes[0].height, c.extent.height);
  EXPECT_EQ(image.width, static_cast<std::uint32_t>(c.extent.width + 8));
  EXPECT_EQ(image.height, static_cast<std::uint32_t>(c.extent.height + 4));

  const DecodedGif gif = DecodeWithGiflib(image.gif);
  ASSERT_TRUE(gif.ok) << gif.error;
  // The painted box must fill the text box completely.
  EXPECT_EQ(CheckFrameAndBox(image, gif, box.boxes[0]), c.extent.width * c.extent.height);
}

INSTANTIATE_TEST_SUITE_P(Extents, CaptchaGeometryTest,
                         ::testing::ValuesIn(std::vector<GeometryCase>{
                             {"SixDigits", 123456, {60, 19}},
                             {"OddSizes", 7, {13, 9}},
                             {"OnePixel", 1, {1, 1}},
                             {"NoText", -5, {0, 0}},
                             {"Wide", 42, {300, 5}},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  std::function<void(BoxRasterizer&)> break_it;
};

class CaptchaDeathTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CaptchaDeathTest, EndsWithGuiSubsystemFailure) {
  BoxRasterizer box;
  box.extent = {60, 19};
  GetParam().break_it(box);
  InstalledRasterizer installed(box);
  EXPECT_EXIT(RenderCaptcha(123456), ::testing::ExitedWithCode(1), "GUI subsystem failure");
}

INSTANTIATE_TEST_SUITE_P(Failures, CaptchaDeathTest,
                         ::testing::ValuesIn(std::vector<FailureCase>{
                             {"CannotMeasure", [](BoxRasterizer& r) { r.measure_ok = false; }},
                             {"CannotDraw", [](BoxRasterizer& r) { r.draw_ok = false; }},
                             {"NegativeExtent",
                              [](BoxRasterizer& r) {
                                r.extent = {-9, 19};
                              }},
                             {"WiderThanAGifCanBe",
                              [](BoxRasterizer& r) {
                                r.extent = {0xFFFF - 7, 19};
                              }},
                             {"TallerThanAGifCanBe",
                              [](BoxRasterizer& r) {
                                r.extent = {60, 0xFFFF - 3};
                              }},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CaptchaNoFontDeathTest, EndsWithGuiSubsystemFailure) {
  // A fresh process whose fontconfig knows no font directory.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  test_support::TempDir dir;
  const std::string config = dir / "no-fonts.conf";
  std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  EXPECT_EXIT(
      {
        setenv("FONTCONFIG_FILE", config.c_str(), 1);
        RenderCaptcha(123456);
      },
      ::testing::ExitedWithCode(1), "GUI subsystem failure");
}

TEST(Captcha, SeveralThreadsRenderTheSameFile) {
  const std::string reference = RenderCaptcha(123456).gif;
  constexpr int kThreads = 4;
  constexpr int kRounds = 100;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        if (RenderCaptcha(123456).gif != reference) ++mismatches[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
}

}  // namespace
}  // namespace pelrion::validation
