// The FreeType rasterizer behind the CAPTCHA: its font, measurement as the sum of advances and
// the line height, monochrome drawing clipped to the box and the surface, bottom-row-first
// memory, serialised use from several threads, and failure when no font can be found.
#include "platform/text_rasterizer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace pelrion::platform {
namespace {

using test_support::TempDir;

TextExtent Measure(std::string_view text) {
  const std::optional<TextExtent> extent = CurrentTextRasterizer().MeasureText(text);
  EXPECT_TRUE(extent.has_value()) << "cannot measure '" << text << "'";
  return extent.value_or(TextExtent{});
}

// A white surface with its own bytes.
struct Canvas {
  Canvas(std::int32_t width, std::int32_t height)
      : bytes(std::size_t(width) * std::size_t(height) * 4), surface(bytes, width, height) {
    surface.Fill({0, 0, width, height}, kWhite);
  }
  std::vector<std::uint8_t> bytes;
  PixelSurface surface;
};

struct Census {
  int black = 0;
  int other = 0;              // neither black nor white
  int black_outside_box = 0;  // black pixels outside the clip box
};

Census Count(const PixelSurface& surface, PixelRect box) {
  Census census;
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    for (std::int32_t x = 0; x < surface.width(); ++x) {
      const std::uint32_t rgb = surface.Pixel(x, y);
      if (rgb == kWhite) continue;
      if (rgb != kBlack) {
        ++census.other;
        continue;
      }
      ++census.black;
      const bool inside = x >= box.left && std::int64_t{x} < std::int64_t{box.left} + box.width &&
                          y >= box.top && std::int64_t{y} < std::int64_t{box.top} + box.height;
      if (!inside) ++census.black_outside_box;
    }
  }
  return census;
}

TEST(TextRasterizer, UsesTahomaOrElseDejaVuSansBold) {
  const std::string name = CurrentTextRasterizer().FontName();
  if (name.rfind("Tahoma", 0) == 0) GTEST_SKIP() << "Tahoma is installed: " << name;
  EXPECT_EQ(name, "DejaVu Sans Bold");
}

TEST(TextRasterizer, WidthIsTheSumOfTheCharactersAdvances) {
  const TextExtent digit = Measure("0");
  // The font is asked for 16 pixels per em; a line is never shorter than that.
  EXPECT_GE(digit.height, 16);
  EXPECT_GT(digit.width, 0);
  for (const std::string text : {"", "7", "11", "123456", "999999", "-2147483648"}) {
    SCOPED_TRACE(text);
    int sum = 0;
    for (char c : text) sum += Measure(std::string(1, c)).width;
    const TextExtent extent = Measure(text);
    EXPECT_EQ(extent.width, sum);
    EXPECT_EQ(extent.height, digit.height);
  }
}

struct DrawCase {
  const char* name;
  std::int32_t surface_width;
  std::int32_t surface_height;
  // The box from the measured extent of "123456": left, top, then the box's size as a
  // fraction of the text's (numerator / 4).
  std::int32_t left;
  std::int32_t top;
  int quarters_wide;
  int quarters_high;
  bool expect_ink;
};

class TextRasterizerDrawTest : public ::testing::TestWithParam<DrawCase> {};

TEST_P(TextRasterizerDrawTest, DrawsOnlyBlackAndOnlyInsideTheBox) {
  const DrawCase& c = GetParam();
  const TextExtent text = Measure("123456");
  const PixelRect box{c.left, c.top, text.width * c.quarters_wide / 4,
                      text.height * c.quarters_high / 4};
  Canvas canvas(c.surface_width, c.surface_height);
  ASSERT_TRUE(CurrentTextRasterizer().DrawText(canvas.surface, box, "123456"));
  const Census census = Count(canvas.surface, box);
  EXPECT_EQ(census.other, 0) << "grey or coloured pixels";
  EXPECT_EQ(census.black_outside_box, 0);
  EXPECT_EQ(census.black > 0, c.expect_ink) << census.black << " black pixels";

  // Clipping cuts the full drawing and does not move it.
  Canvas full(c.surface_width, c.surface_height);
  ASSERT_TRUE(
      CurrentTextRasterizer().DrawText(full.surface, {c.left, c.top, INT_MAX, INT_MAX}, "123456"));
  for (std::int32_t y = 0; y < c.surface_height; ++y) {
    for (std::int32_t x = 0; x < c.surface_width; ++x) {
      if (x < box.left || x >= box.left + box.width || y < box.top || y >= box.top + box.height)
        continue;
      ASSERT_EQ(canvas.surface.Pixel(x, y), full.surface.Pixel(x, y)) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Boxes, TextRasterizerDrawTest,
                         ::testing::ValuesIn(std::vector<DrawCase>{
                             {"WholeText", 90, 30, 4, 2, 4, 4, true},
                             {"LeftHalfOfTheText", 90, 30, 4, 2, 2, 4, true},
                             {"TopHalfOfTheText", 90, 30, 4, 2, 4, 2, true},
                             {"OverTheTopLeftCorner", 90, 30, -20, -6, 4, 4, true},
                             {"OverTheBottomRightCorner", 40, 12, 10, 3, 4, 4, true},
                             {"BelowTheSurface", 90, 30, 4, 40, 4, 4, false},
                             {"NoWidth", 90, 30, 4, 2, 0, 4, false},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextRasterizer, DrawingAdvancesByTheMeasuredWidths) {
  // Each character drawn where the measured widths of those before it end gives the same
  // picture as the whole text drawn at once.
  const std::string text = "-2147483648";
  const TextExtent extent = Measure(text);
  Canvas whole(extent.width + 8, extent.height + 4);
  ASSERT_TRUE(
      CurrentTextRasterizer().DrawText(whole.surface, {4, 2, extent.width, extent.height}, text));
  Canvas pieces(extent.width + 8, extent.height + 4);
  std::int32_t left = 4;
  for (char c : text) {
    const std::string one(1, c);
    ASSERT_TRUE(CurrentTextRasterizer().DrawText(
        pieces.surface, {left, 2, extent.width + 4 - left, extent.height}, one));
    left += Measure(one).width;
  }
  EXPECT_EQ(left, 4 + extent.width);
  EXPECT_EQ(pieces.bytes, whole.bytes);
}

TEST(TextRasterizer, TextAtTheTopLandsInTheLastRowsOfMemory) {
  const TextExtent text = Measure("8");
  constexpr std::int32_t kWidth = 20;
  constexpr std::int32_t kHeight = 60;
  Canvas canvas(kWidth, kHeight);
  ASSERT_TRUE(CurrentTextRasterizer().DrawText(canvas.surface, {0, 0, kWidth, text.height}, "8"));
  const std::size_t first_text_byte = std::size_t(kHeight - text.height) * kWidth * 4;
  int black = 0;
  for (std::size_t i = 0; i < canvas.bytes.size(); i += 4) {
    if (canvas.bytes[i] != 0) continue;
    ++black;
    EXPECT_GE(i, first_text_byte) << "black pixel in memory row " << i / (kWidth * 4);
  }
  EXPECT_GT(black, 0);
}

TEST(TextRasterizer, DifferentTextsDrawDifferentPictures) {
  const TextExtent text = Measure("123456");
  const PixelRect box{4, 2, text.width, text.height};
  std::vector<std::vector<std::uint8_t>> pictures;
  for (const char* code : {"123456", "654321", "123456", ""}) {
    Canvas canvas(text.width + 8, text.height + 4);
    EXPECT_TRUE(CurrentTextRasterizer().DrawText(canvas.surface, box, code));
    pictures.push_back(canvas.bytes);
  }
  EXPECT_NE(pictures[0], pictures[1]);
  EXPECT_EQ(pictures[0], pictures[2]);
  Canvas blank(text.width + 8, text.height + 4);
  EXPECT_EQ(pictures[3], blank.bytes) << "empty text draws nothing";
}

TEST(TextRasterizer, SeveralThreadsDrawTheSamePicture) {
  const TextExtent text = Measure("123456");
  const PixelRect box{4, 2, text.width, text.height};
  Canvas reference(text.width + 8, text.height + 4);
  ASSERT_TRUE(CurrentTextRasterizer().DrawText(reference.surface, box, "123456"));

  constexpr int kThreads = 4;
  constexpr int kRounds = 400;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        Canvas canvas(text.width + 8, text.height + 4);
        const std::optional<TextExtent> extent = CurrentTextRasterizer().MeasureText("123456");
        const bool drawn = CurrentTextRasterizer().DrawText(canvas.surface, box, "123456");
        if (!drawn || !extent || extent->width != text.width || canvas.bytes != reference.bytes)
          ++mismatches[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
}

class StubRasterizer : public TextRasterizer {
 public:
  std::string FontName() override { return "stub"; }
  std::optional<TextExtent> MeasureText(std::string_view) override { return std::nullopt; }
  bool DrawText(PixelSurface&, PixelRect, std::string_view) override { return false; }
};

TEST(TextRasterizer, AnInstalledRasterizerReplacesTheFreeTypeOneUntilRemoved) {
  StubRasterizer stub;
  SetTextRasterizer(&stub);
  EXPECT_EQ(&CurrentTextRasterizer(), &stub);
  SetTextRasterizer(nullptr);
  EXPECT_NE(&CurrentTextRasterizer(), &stub);
  EXPECT_NE(CurrentTextRasterizer().FontName(), "");
}

// Run in a fresh process (the font is loaded once per process) whose fontconfig knows no font
// directory: measuring and drawing report failure instead of crashing.
TEST(TextRasterizerDeathTest, ReportsFailureWhenNoFontExists) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir dir;
  const std::string config = dir / "no-fonts.conf";
  std::ofstream(config) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  EXPECT_EXIT(
      {
        setenv("FONTCONFIG_FILE", config.c_str(), 1);
        std::vector<std::uint8_t> bytes(16 * 16 * 4);
        PixelSurface surface(bytes, 16, 16);
        TextRasterizer& rasterizer = CurrentTextRasterizer();
        const bool failed = !rasterizer.MeasureText("1") &&
                            !rasterizer.DrawText(surface, {0, 0, 16, 16}, "1") &&
                            rasterizer.FontName().empty();
        std::_Exit(failed ? 3 : 4);
      },
      ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace pelrion::platform
