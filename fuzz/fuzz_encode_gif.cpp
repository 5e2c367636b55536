// EncodeGif on pictures built from arbitrary bytes (any size up to 64 x 64, 1 to 256 colours):
// the file is read back here, block by block and code by code, and must hold exactly the
// picture: the colour table in first-met order with black padding, literal codes with a clear
// after every 2^m - 2 pixel codes, full sub-blocks but the last, the terminator and trailer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "validation/gif_encoder.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::uint32_t ColourOf(std::uint32_t k) {
  return (k << 16) | ((k * 151u) & 0xFF) << 8 | ((k * 37u + 11u) & 0xFF);
}

// Reads the LZW codes of data (least significant bit first) into the pixel indices, checking
// the clear codes; returns false on any deviation from the literal-code form.
bool ReadIndices(const std::string& data, int m, std::size_t pixels, std::vector<int>& out) {
  const std::uint32_t clear = 1u << m;
  const std::uint32_t end = clear + 1;
  const int width = m + 1;
  std::uint32_t accumulator = 0;
  int bits = 0;
  std::size_t codes = 0;
  std::size_t since_clear = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    accumulator |= std::uint32_t{static_cast<unsigned char>(data[i])} << bits;
    bits += 8;
    while (bits >= width) {
      const std::uint32_t code = accumulator & ((1u << width) - 1);
      accumulator >>= width;
      bits -= width;
      if (codes++ == 0) {
        if (code != clear) return false;
        continue;
      }
      // The end code sits in the last byte, padded with zero bits.
      if (code == end) return out.size() == pixels && accumulator == 0 && i + 1 == data.size();
      if (code == clear) {
        if (since_clear != clear - 2 || out.size() == pixels) return false;
        since_clear = 0;
        continue;
      }
      if (code >= clear || since_clear == clear - 2) return false;
      out.push_back(static_cast<int>(code));
      ++since_clear;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::uint32_t width = data[0] % 65;
  const std::uint32_t height = data[1] % 65;
  const unsigned colours = data[2] + 1u;
  const std::uint8_t* values = data + 3;
  const std::size_t value_count = size - 3;

  // The picture top row first, and the encoder's bottom-up memory with a junk fourth byte.
  const std::size_t pixels = std::size_t{width} * height;
  std::vector<std::uint8_t> keys(pixels);  // which of the colours, top row first
  for (std::size_t i = 0; i < pixels; ++i) {
    keys[i] = static_cast<std::uint8_t>((value_count == 0 ? 0 : values[i % value_count]) % colours);
  }
  std::vector<std::uint8_t> memory;
  std::vector<std::uint32_t> table;  // first-met order in memory
  bool met[256] = {};
  for (std::uint32_t row = height; row-- > 0;) {
    for (std::uint32_t column = 0; column < width; ++column) {
      const std::uint8_t key = keys[std::size_t{row} * width + column];
      const std::uint32_t rgb = ColourOf(key);
      memory.insert(memory.end(),
                    {static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8),
                     static_cast<std::uint8_t>(rgb >> 16), 0x5A});
      if (!met[key]) table.push_back(rgb);
      met[key] = true;
    }
  }
  int b = 1;
  while ((std::size_t{1} << b) < table.size()) ++b;
  const int m = b < 2 ? 2 : b;
  table.resize(std::size_t{1} << b, 0);

  const std::string gif = pelrion::validation::EncodeGif(memory, width, height, {});
  const auto byte = [&](std::size_t at) {
    Check(at < gif.size());
    return static_cast<std::uint8_t>(gif[at]);
  };
  Check(gif.compare(0, 6, "GIF89a") == 0);
  Check(byte(6) + 256u * byte(7) == width && byte(8) + 256u * byte(9) == height);
  Check(byte(10) == (0x80 | ((b - 1) << 4) | (b - 1)));
  std::size_t at = 13;
  for (std::uint32_t rgb : table) {
    Check((std::uint32_t{byte(at)} << 16 | std::uint32_t{byte(at + 1)} << 8 | byte(at + 2)) == rgb);
    at += 3;
  }
  Check(byte(at) == 0x2C && byte(at + 9) == 0 && byte(at + 10) == m);
  at += 11;
  std::string lzw;
  for (;;) {
    const std::size_t block = byte(at++);
    if (block == 0) break;
    Check(lzw.size() % 255 == 0);  // every earlier block was full
    Check(at + block <= gif.size());
    lzw.append(gif, at, block);
    at += block;
  }
  Check(byte(at) == 0x3B && at + 1 == gif.size());

  std::vector<int> indices;
  Check(ReadIndices(lzw, m, pixels, indices));
  for (std::size_t i = 0; i < pixels; ++i) Check(table[indices[i]] == ColourOf(keys[i]));
  return 0;
}
