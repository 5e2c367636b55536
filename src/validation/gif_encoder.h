// A GIF89a encoder for small pictures held in memory. The LZW data is written in its
// uncompressed form: every pixel is one literal code and a clear code follows every
// 2^m - 2 codes, so the code width never changes and no string table is built.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace pelrion::validation {

struct GifOptions {
  // When on, a graphic control extension marks the palette entry of this colour as
  // transparent; it is left out when no pixel has the colour.
  bool transparent = false;
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// The whole GIF file of one image of width x height pixels of 4 bytes each (blue, green, red,
// an ignored byte), rows stored bottom row first. The global colour table holds the colours
// in the order first met in memory, padded with black to a power of two (at least 2).
// Ends the process through FatalStop("Internal error") when the pixels have more than 256
// colours, when pixels holds fewer than width * height * 4 bytes, or when a dimension does not
// fit the file's 16-bit fields.
std::string EncodeGif(std::span<const std::uint8_t> pixels, std::uint32_t width,
                      std::uint32_t height, const GifOptions& options);

}  // namespace pelrion::validation
