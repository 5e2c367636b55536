// Test support for the GIF encoder and the CAPTCHA: pictures described top row first and laid
// out for the encoder, a decoder built on giflib, and an independent walk of the file's
// blocks and LZW codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::validation::testing_gif {

// A picture as a viewer shows it: rgb holds width * height colours (0xRRGGBB), top row first.
struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint32_t> rgb;
};

// The encoder's input for picture: 4 bytes per pixel (blue, green, red, then filler, which
// the encoder must ignore), bottom row first.
std::vector<std::uint8_t> EncoderPixels(const Picture& picture, std::uint8_t filler = 0);

// What giflib reads from a file.
struct DecodedGif {
  bool ok = false;  // opened and slurped without error, exactly one image
  std::string error;
  int screen_width = 0;
  int screen_height = 0;
  int colour_resolution = 0;
  std::vector<std::uint32_t> colour_table;  // 0xRRGGBB, the global table
  int image_left = -1;
  int image_top = -1;
  int image_width = 0;
  int image_height = 0;
  bool interlaced = true;
  bool local_table = true;
  std::vector<std::uint8_t> indices;  // top row first
  int control_extensions = 0;         // graphic control extensions before the image
  int transparent_index = -1;         // from the first one, -1 when none or none marked
};

DecodedGif DecodeWithGiflib(std::string_view gif);

// The decoded image as colours, top row first; empty when an index lies outside the table.
std::vector<std::uint32_t> DecodedColours(const DecodedGif& decoded);

// The file's blocks, read here without giflib.
struct GifLayout {
  bool ok = false;
  std::string error;
  std::uint8_t screen_packed = 0;
  std::size_t table_entries = 0;
  bool has_control_extension = false;
  std::string control_extension;  // its 8 bytes, introducer to terminator
  std::uint8_t min_code_size = 0;
  std::vector<std::size_t> sub_block_sizes;  // the data sub-blocks, terminator not included
  std::string lzw_data;                      // their bytes joined
  bool ends_with_trailer = false;            // terminator, 0x3B, and nothing after it
};

GifLayout ReadLayout(std::string_view gif);

// The codes of data, each min_code_size + 1 bits, least significant bit first, up to and
// including the first end code (2^min_code_size + 1).
std::vector<std::uint32_t> ReadCodes(std::string_view data, int min_code_size);

}  // namespace pelrion::validation::testing_gif
