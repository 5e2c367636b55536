// The GIF encoder: whole files derived by hand for tiny pictures, the file's block structure
// and code stream for every colour count, round trips through giflib, the transparency
// extension, and the internal errors that end the process.
#include "validation/gif_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "validation/gif_test_helpers.h"

namespace pelrion::validation {
namespace {

using testing_gif::DecodedColours;
using testing_gif::DecodeWithGiflib;
using testing_gif::EncoderPixels;
using testing_gif::Picture;
using testing_gif::ReadCodes;
using testing_gif::ReadLayout;

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kBlue = 0x0000FF;

std::string Encode(const Picture& picture, const GifOptions& options = {},
                   std::uint8_t filler = 0) {
  return EncodeGif(EncoderPixels(picture, filler), picture.width, picture.height, options);
}

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

// "GIF89a", the logical screen descriptor (width, height, packed byte, background 0, aspect 0).
std::string Head(int width, int height, int packed) {
  return "GIF89a" + Bytes({width & 0xFF, width >> 8, height & 0xFF, height >> 8, packed, 0, 0});
}

std::string ImageDescriptor(int width, int height) {
  return Bytes({0x2C, 0, 0, 0, 0, width & 0xFF, width >> 8, height & 0xFF, height >> 8, 0});
}

struct ExactCase {
  const char* name;
  Picture picture;
  GifOptions options;
  std::uint8_t filler;  // the ignored fourth byte of every pixel
  std::string expected;
};

class GifExactBytesTest : public ::testing::TestWithParam<ExactCase> {};

TEST_P(GifExactBytesTest, WritesTheWholeFile) {
  const ExactCase& c = GetParam();
  const std::string gif = Encode(c.picture, c.options, c.filler);
  EXPECT_EQ(gif, c.expected);
}

std::vector<ExactCase> ExactCases() {
  // One colour, 3 x 1: codes clear 4, 0, 0, clear 4 (two pixel codes since the last clear),
  // 0, end 5, three bits each: 100 000 000 100 000 101 read from the low bit gives 0x04 0x88
  // 0x02.
  const std::string one_colour = Head(3, 1, 0x80) + Bytes({0x12, 0x34, 0x56, 0, 0, 0}) +
                                 ImageDescriptor(3, 1) +
                                 Bytes({0x02, 0x03, 0x04, 0x88, 0x02, 0x00, 0x3B});
  // Top row white, black; bottom row black, black. Memory holds the bottom row first, so black
  // is met first (index 0) and white second; the rows are fed top first: 1 0 0 0, giving
  // codes 4 1 0 4 0 0 5 = bytes 0x0C 0x08 0x14.
  const std::string two_by_two = Head(2, 2, 0x80) + Bytes({0, 0, 0, 0xFF, 0xFF, 0xFF}) +
                                 ImageDescriptor(2, 2) +
                                 Bytes({0x02, 0x03, 0x0C, 0x08, 0x14, 0x00, 0x3B});
  // One red pixel with red transparent: the control extension names index 0; codes 4 0 5
  // = bytes 0x44 0x01.
  const std::string transparent_pixel = Head(1, 1, 0x80) + Bytes({0xFF, 0, 0, 0, 0, 0}) +
                                        Bytes({0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00}) +
                                        ImageDescriptor(1, 1) +
                                        Bytes({0x02, 0x02, 0x44, 0x01, 0x00, 0x3B});
  // No pixels: a table of black padding and the codes clear 4, end 5 = byte 0x2C.
  const std::string empty = Head(0, 0, 0x80) + Bytes({0, 0, 0, 0, 0, 0}) + ImageDescriptor(0, 0) +
                            Bytes({0x02, 0x01, 0x2C, 0x00, 0x3B});
  const GifOptions red_transparent{true, 0xFF, 0x00, 0x00};
  return {
      {"ThreeByOneOfOneColour", {3, 1, {0x123456, 0x123456, 0x123456}}, {}, 0, one_colour},
      {"FourthByteIgnored", {3, 1, {0x123456, 0x123456, 0x123456}}, {}, 0xA7, one_colour},
      {"TwoByTwoTopRowFirst", {2, 2, {kWhite, kBlack, kBlack, kBlack}}, {}, 0, two_by_two},
      {"TransparentPixel", {1, 1, {kRed}}, red_transparent, 0, transparent_pixel},
      {"NoPixels", {0, 0, {}}, {}, 0, empty},
  };
}

INSTANTIATE_TEST_SUITE_P(HandDerived, GifExactBytesTest, ::testing::ValuesIn(ExactCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// A picture with exactly `colours` distinct colours, all of them present, scattered so that
// neither rows nor memory order line up with the order of the colours.
Picture ScatteredPicture(int colours, std::uint32_t width, std::uint32_t height) {
  Picture picture{width, height, {}};
  const std::size_t count = std::size_t{width} * height;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t k = i < static_cast<std::size_t>(colours)
                              ? (i * 7) % static_cast<std::size_t>(colours)
                              : (i * 2654435761u >> 7) % static_cast<std::size_t>(colours);
    // Green and red carry k, so the colours are distinct; blue varies to mix the channels.
    picture.rgb.push_back(
        static_cast<std::uint32_t>(((k >> 8) << 16) | ((k & 0xFF) << 8) | ((k * 13) & 0xFF)));
  }
  return picture;
}

// The colours in the order the encoder meets them: bottom row first, left to right.
std::vector<std::uint32_t> ColoursInMemoryOrder(const Picture& picture) {
  std::vector<std::uint32_t> order;
  for (std::uint32_t row = picture.height; row-- > 0;) {
    for (std::uint32_t column = 0; column < picture.width; ++column) {
      const std::uint32_t rgb = picture.rgb[std::size_t{row} * picture.width + column];
      if (std::find(order.begin(), order.end(), rgb) == order.end()) order.push_back(rgb);
    }
  }
  return order;
}

struct ColourCase {
  const char* name;
  int colours;
  std::uint32_t width;
  std::uint32_t height;
  int colour_bits;  // the smallest b with 2^b >= colours, at least 1
};

class GifColourCountTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(GifColourCountTest, TableSizeCodeStreamAndRoundTrip) {
  const ColourCase& c = GetParam();
  const Picture picture = ScatteredPicture(c.colours, c.width, c.height);
  const std::string gif = Encode(picture);
  const int b = c.colour_bits;
  const int m = std::max(b, 2);

  const testing_gif::GifLayout layout = ReadLayout(gif);
  ASSERT_TRUE(layout.ok) << layout.error;
  EXPECT_EQ(layout.screen_packed, 0x80 | ((b - 1) << 4) | (b - 1));
  EXPECT_EQ(layout.table_entries, std::size_t{1} << b);
  EXPECT_EQ(layout.min_code_size, m);
  EXPECT_FALSE(layout.has_control_extension);
  EXPECT_TRUE(layout.ends_with_trailer);

  // The colours first met, then black padding up to 2^b entries.
  std::vector<std::uint32_t> table = ColoursInMemoryOrder(picture);
  const std::vector<std::uint32_t> order = table;
  table.resize(std::size_t{1} << b, kBlack);

  // Literal codes only: a clear first, a clear after every 2^m - 2 pixel codes except after
  // the last pixel, then the end code.
  const std::uint32_t clear = 1u << m;
  std::vector<std::uint32_t> codes{clear};
  for (std::size_t i = 0; i < picture.rgb.size(); ++i) {
    const auto found = std::find(order.begin(), order.end(), picture.rgb[i]);
    codes.push_back(static_cast<std::uint32_t>(found - order.begin()));
    if (i + 1 < picture.rgb.size() && (i + 1) % (clear - 2) == 0) codes.push_back(clear);
  }
  codes.push_back(clear + 1);
  EXPECT_EQ(ReadCodes(layout.lzw_data, m), codes);

  const testing_gif::DecodedGif decoded = DecodeWithGiflib(gif);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(decoded.colour_table, table);
  EXPECT_EQ(decoded.colour_resolution, b);
  EXPECT_EQ(decoded.screen_width, static_cast<int>(c.width));
  EXPECT_EQ(decoded.screen_height, static_cast<int>(c.height));
  EXPECT_EQ(decoded.image_left, 0);
  EXPECT_EQ(decoded.image_top, 0);
  EXPECT_FALSE(decoded.interlaced);
  EXPECT_FALSE(decoded.local_table);
  EXPECT_EQ(DecodedColours(decoded), picture.rgb);
}

INSTANTIATE_TEST_SUITE_P(
    Counts, GifColourCountTest,
    ::testing::ValuesIn(std::vector<ColourCase>{
        {"One", 1, 5, 3, 1},
        {"Two", 2, 7, 5, 1},
        {"Three", 3, 9, 4, 2},
        {"Four", 4, 4, 4, 2},
        {"Five", 5, 11, 3, 3},
        {"Sixteen", 16, 17, 9, 4},
        {"Seventeen", 17, 31, 7, 5},
        // 9-bit codes for 10,000 pixels take more than width x height + 3 x 256 + 256 bytes.
        {"TwoHundredFiftySix", 256, 100, 100, 8},
        {"TwoColoursOnManySubBlocks", 2, 300, 200, 1},
    }),
    [](const auto& info) { return std::string(info.param.name); });

struct SubBlockCase {
  const char* name;
  std::uint32_t width;
  std::uint32_t height;
  std::size_t full_blocks;  // sub-blocks of 255 bytes
  std::size_t last_block;   // the size of the last one when it is not full, else 0
};

class GifSubBlockTest : public ::testing::TestWithParam<SubBlockCase> {};

TEST_P(GifSubBlockTest, FullBlocksThenTheRestThenTerminatorAndTrailer) {
  const SubBlockCase& c = GetParam();
  // Two colours in stripes: 3-bit codes, a clear after every second pixel code.
  Picture picture{c.width, c.height, {}};
  for (std::size_t i = 0; i < std::size_t{c.width} * c.height; ++i) {
    picture.rgb.push_back(i % 3 == 0 ? kBlack : kWhite);
  }
  const testing_gif::GifLayout layout = ReadLayout(Encode(picture));
  ASSERT_TRUE(layout.ok) << layout.error;
  std::vector<std::size_t> expected(c.full_blocks, 255);
  if (c.last_block != 0) expected.push_back(c.last_block);
  EXPECT_EQ(layout.sub_block_sizes, expected);
  EXPECT_TRUE(layout.ends_with_trailer);
}

// n pixels give 2 + n + (n - 1) / 2 codes of 3 bits.
INSTANTIATE_TEST_SUITE_P(
    Sizes, GifSubBlockTest,
    ::testing::ValuesIn(std::vector<SubBlockCase>{
        // 452 pixels: 679 codes, 2037 bits, exactly 255 bytes.
        {"ExactlyOneFullBlock", 226, 2, 1, 0},
        // 453 pixels: 681 codes, 2043 bits, 256 bytes.
        {"OneByteBeyondABlock", 453, 1, 1, 1},
        // 60,000 pixels: 90,001 codes, 270,003 bits, 33,751 bytes = 132 x 255 + 91.
        {"ManyBlocks", 300, 200, 132, 91},
    }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GifEncoder, ShowsTheTopRowFirst) {
  // Each row its own colour; memory holds the bottom row first.
  const std::vector<std::uint32_t> rows{kRed, kGreen, kBlue, kWhite, kBlack};
  Picture picture{4, static_cast<std::uint32_t>(rows.size()), {}};
  for (std::uint32_t rgb : rows) picture.rgb.insert(picture.rgb.end(), 4, rgb);
  const std::vector<std::uint8_t> pixels = EncoderPixels(picture);
  ASSERT_EQ(pixels[2], 0x00) << "the first pixel in memory is the black bottom row";

  const testing_gif::DecodedGif decoded =
      DecodeWithGiflib(EncodeGif(pixels, picture.width, picture.height, {}));
  ASSERT_TRUE(decoded.ok) << decoded.error;
  const std::vector<std::uint32_t> colours = DecodedColours(decoded);
  ASSERT_EQ(colours.size(), picture.rgb.size());
  for (std::size_t row = 0; row < rows.size(); ++row) {
    SCOPED_TRACE("row " + std::to_string(row));
    EXPECT_EQ(colours[row * 4], rows[row]);
    EXPECT_EQ(colours[row * 4 + 3], rows[row]);
  }
}

struct TransparencyCase {
  const char* name;
  std::vector<std::uint32_t> row;  // a one-row picture: memory order is screen order
  GifOptions options;
  int expected_index;  // -1: no control extension
};

class GifTransparencyTest : public ::testing::TestWithParam<TransparencyCase> {};

TEST_P(GifTransparencyTest, ExtensionNamesTheColoursIndex) {
  const TransparencyCase& c = GetParam();
  const Picture picture{static_cast<std::uint32_t>(c.row.size()), 1, c.row};
  const std::string gif = Encode(picture, c.options);

  const testing_gif::GifLayout layout = ReadLayout(gif);
  ASSERT_TRUE(layout.ok) << layout.error;
  const testing_gif::DecodedGif decoded = DecodeWithGiflib(gif);
  ASSERT_TRUE(decoded.ok) << decoded.error;
  EXPECT_EQ(DecodedColours(decoded), picture.rgb);
  if (c.expected_index < 0) {
    EXPECT_FALSE(layout.has_control_extension);
    EXPECT_EQ(decoded.control_extensions, 0);
    return;
  }
  EXPECT_EQ(layout.control_extension,
            Bytes({0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, c.expected_index, 0x00}));
  EXPECT_EQ(decoded.control_extensions, 1);
  EXPECT_EQ(decoded.transparent_index, c.expected_index);
  // The pixels of the transparent colour use that index.
  const std::uint32_t wanted =
      (std::uint32_t{c.options.red} << 16) | (c.options.green << 8) | c.options.blue;
  for (std::size_t i = 0; i < c.row.size(); ++i) {
    if (c.row[i] != wanted) continue;
    EXPECT_EQ(decoded.indices[i], c.expected_index) << "pixel " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GifTransparencyTest,
    ::testing::ValuesIn(std::vector<TransparencyCase>{
        {"OffWritesNoExtension", {kRed, kGreen}, {false, 0x00, 0xFF, 0x00}, -1},
        {"FirstColour", {kRed, kGreen, kBlue, kRed}, {true, 0xFF, 0x00, 0x00}, 0},
        {"LastColour", {kRed, kGreen, kBlue, kGreen}, {true, 0x00, 0x00, 0xFF}, 2},
        // Three colours get a table of four; its black padding entry must not be named.
        {"BlackBeforeThePadding", {kRed, kGreen, kBlack}, {true, 0, 0, 0}, 2},
        {"BlackFirst", {kBlack, kWhite}, {true, 0, 0, 0}, 0},
        {"AbsentColour", {kRed, kGreen}, {true, 0x00, 0x00, 0xFF}, -1},
        {"AbsentBlackThoughPaddingIsBlack", {kRed, kGreen, kBlue}, {true, 0, 0, 0}, -1},
    }),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  std::function<void()> encode;
};

class GifEncoderDeathTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(GifEncoderDeathTest, EndsWithInternalError) {
  EXPECT_EXIT(GetParam().encode(), ::testing::ExitedWithCode(1), "Internal error");
}

INSTANTIATE_TEST_SUITE_P(Cases, GifEncoderDeathTest,
                         ::testing::ValuesIn(std::vector<FailureCase>{
                             {"TwoHundredFiftySevenColours",
                              [] { Encode(ScatteredPicture(257, 17, 17)); }},
                             {"PixelsShorterThanTheSize",
                              [] {
                                const std::vector<std::uint8_t> pixels(3 * 4 - 1, 0xFF);
                                EncodeGif(pixels, 3, 1, {});
                              }},
                             {"WidthBeyondSixteenBits",
                              [] {
                                const std::vector<std::uint8_t> pixels(0x10000 * 4, 0xFF);
                                EncodeGif(pixels, 0x10000, 1, {});
                              }},
                             {"HeightBeyondSixteenBits",
                              [] {
                                const std::vector<std::uint8_t> pixels(0x10000 * 4, 0xFF);
                                EncodeGif(pixels, 1, 0x10000, {});
                              }},
                         }),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelrion::validation
