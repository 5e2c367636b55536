// The caller-owned 32-bit surface: where each pixel lives in memory (bottom row first, blue
// green red filler), and filling and framing clipped to the surface for any rectangle.
#include "platform/pixel_surface.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>
#include <vector>

namespace pelrion::platform {
namespace {

constexpr std::uint8_t kUntouched = 0xEE;

struct LayoutCase {
  const char* name;
  std::int32_t x;
  std::int32_t y;
  std::size_t offset;  // of the pixel's first byte in a 3 x 2 surface
};

class PixelSurfaceLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PixelSurfaceLayoutTest, SetPixelWritesBlueGreenRedAndZeroAtItsOffset) {
  const LayoutCase& c = GetParam();
  std::vector<std::uint8_t> bytes(3 * 2 * 4, kUntouched);
  PixelSurface surface(bytes, 3, 2);
  surface.SetPixel(c.x, c.y, 0x123456);

  std::vector<std::uint8_t> expected(bytes.size(), kUntouched);
  expected[c.offset] = 0x56;
  expected[c.offset + 1] = 0x34;
  expected[c.offset + 2] = 0x12;
  expected[c.offset + 3] = 0x00;
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(surface.Pixel(c.x, c.y), 0x123456u);
}

// Row 0 is the top row, which memory holds last.
INSTANTIATE_TEST_SUITE_P(Pixels, PixelSurfaceLayoutTest,
                         ::testing::ValuesIn(std::vector<LayoutCase>{
                             {"TopLeft", 0, 0, 12},
                             {"TopRight", 2, 0, 20},
                             {"BottomLeft", 0, 1, 0},
                             {"BottomRight", 2, 1, 8},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PixelSurface, IgnoresPixelsOutsideIt) {
  struct Point {
    std::int32_t x, y;
  };
  for (const Point p : {Point{-1, 0}, Point{3, 0}, Point{0, 2}, Point{0, -1},
                        Point{INT_MIN, INT_MIN}, Point{INT_MAX, INT_MAX}}) {
    SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
    std::vector<std::uint8_t> bytes(3 * 2 * 4, kUntouched);
    PixelSurface surface(bytes, 3, 2);
    surface.SetPixel(p.x, p.y, 0x123456);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(bytes.size(), kUntouched));
    EXPECT_EQ(surface.Pixel(p.x, p.y), 0u);
  }
}

struct SizeCase {
  const char* name;
  std::int32_t width;
  std::int32_t height;
  std::size_t bytes;
  bool usable;
};

class PixelSurfaceSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(PixelSurfaceSizeTest, UsableOnlyWhenTheBytesHoldEveryPixel) {
  const SizeCase& c = GetParam();
  std::vector<std::uint8_t> bytes(c.bytes, kUntouched);
  PixelSurface surface(bytes, c.width, c.height);
  surface.Fill({INT_MIN / 2, INT_MIN / 2, INT_MAX, INT_MAX}, 0x010203);
  if (c.usable) {
    EXPECT_EQ(surface.width(), c.width);
    EXPECT_EQ(surface.height(), c.height);
    // Every pixel filled, nothing written past the surface.
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const bool inside = i < std::size_t(c.width) * std::size_t(c.height) * 4;
      const std::uint8_t want = !inside ? kUntouched : std::array{3, 2, 1, 0}[i % 4];
      ASSERT_EQ(bytes[i], want) << "byte " << i;
    }
  } else {
    EXPECT_EQ(surface.width(), 0);
    EXPECT_EQ(surface.height(), 0);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(c.bytes, kUntouched));
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PixelSurfaceSizeTest,
                         ::testing::ValuesIn(std::vector<SizeCase>{
                             {"Exact", 3, 2, 24, true},
                             {"Larger", 3, 2, 30, true},
                             {"OneByteShort", 3, 2, 23, false},
                             {"ZeroWidth", 0, 2, 24, false},
                             {"NegativeHeight", 3, -2, 24, false},
                             {"ProductBeyondSixtyFourBits", INT_MAX, INT_MAX, 24, false},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

// The surface as text, top row first: '#' for black, '.' for white, '?' otherwise.
std::vector<std::string> Picture(const PixelSurface& surface) {
  std::vector<std::string> rows;
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    std::string row;
    for (std::int32_t x = 0; x < surface.width(); ++x) {
      const std::uint32_t rgb = surface.Pixel(x, y);
      row.push_back(rgb == kBlack ? '#' : rgb == kWhite ? '.' : '?');
    }
    rows.push_back(row);
  }
  return rows;
}

struct PaintCase {
  const char* name;
  bool frame;  // Frame, else Fill
  PixelRect rect;
  std::vector<std::string> expected;  // 5 x 4, painted black on white
};

class PixelSurfacePaintTest : public ::testing::TestWithParam<PaintCase> {};

TEST_P(PixelSurfacePaintTest, PaintsTheRectangleClippedToTheSurface) {
  const PaintCase& c = GetParam();
  std::vector<std::uint8_t> bytes(5 * 4 * 4 + 8, kUntouched);
  PixelSurface surface(bytes, 5, 4);
  surface.Fill({0, 0, 5, 4}, kWhite);
  if (c.frame) {
    surface.Frame(c.rect, kBlack);
  } else {
    surface.Fill(c.rect, kBlack);
  }
  EXPECT_EQ(Picture(surface), c.expected);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 8, bytes.end()),
            std::vector<std::uint8_t>(8, kUntouched));
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, PixelSurfacePaintTest,
    ::testing::ValuesIn(std::vector<PaintCase>{
        {"FillInside", false, {1, 1, 2, 2}, {".....", ".##..", ".##..", "....."}},
        {"FillOverTopLeft", false, {-2, -1, 3, 2}, {"#....", ".....", ".....", "....."}},
        {"FillOverBottomRight", false, {4, 3, 5, 5}, {".....", ".....", ".....", "....#"}},
        {"FillHuge", false, {0, 2, INT_MAX, INT_MAX}, {".....", ".....", "#####", "#####"}},
        {"FillFarOutside",
         false,
         {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
         {".....", ".....", ".....", "....."}},
        {"FillEndingLeftOfTheSurface",
         false,
         {INT_MIN, 0, INT_MAX, 4},
         {".....", ".....", ".....", "....."}},
        {"FillNegativeWidth", false, {3, 1, -2, 2}, {".....", ".....", ".....", "....."}},
        {"FrameWholeSurface", true, {0, 0, 5, 4}, {"#####", "#...#", "#...#", "#####"}},
        {"FrameInside", true, {1, 0, 4, 3}, {".####", ".#..#", ".####", "....."}},
        {"FrameTwoRowsHigh", true, {1, 1, 3, 2}, {".....", ".###.", ".###.", "....."}},
        {"FrameOnePixel", true, {2, 1, 1, 1}, {".....", "..#..", ".....", "....."}},
        {"FrameOverTopLeft", true, {-1, -1, 3, 3}, {".#...", "##...", ".....", "....."}},
        {"FrameHuge", true, {0, 0, INT_MAX, INT_MAX}, {"#####", "#....", "#....", "#...."}},
        {"FrameEmpty", true, {1, 1, 0, 3}, {".....", ".....", ".....", "....."}},
    }),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelrion::platform
