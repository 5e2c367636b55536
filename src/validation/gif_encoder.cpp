#include "validation/gif_encoder.h"

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "platform/fatal_stop.h"

namespace pelrion::validation {

namespace {

constexpr std::size_t kBytesPerPixel = 4;
constexpr std::uint32_t kMaxDimension = 0xFFFF;
constexpr int kMaxColours = 256;
constexpr std::size_t kMaxSubBlock = 255;

using Rgb = std::array<std::uint8_t, 3>;

struct Palette {
  std::array<Rgb, kMaxColours> entries{};  // unused entries stay black
  int count = 0;
};

// The palette index of every pixel, in memory order (bottom row first). Colours are added in
// the order first met; a 257th colour is an internal error.
std::vector<std::uint8_t> IndexPixels(std::span<const std::uint8_t> pixels, std::size_t count,
                                      Palette& palette) {
  std::vector<std::uint8_t> indices(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = pixels.data() + i * kBytesPerPixel;
    const Rgb colour{p[2], p[1], p[0]};
    int index = palette.count - 1;
    while (index >= 0 && palette.entries[index] != colour) --index;
    if (index < 0) {
      if (palette.count == kMaxColours) platform::FatalStop(platform::kInternalError);
      index = palette.count++;
      palette.entries[index] = colour;
    }
    indices[i] = static_cast<std::uint8_t>(index);
  }
  return indices;
}

// The smallest b of 1..8 with 2^b >= colours.
int ColourBits(int colours) {
  int bits = 1;
  while ((1 << bits) < colours) ++bits;
  return bits;
}

void PutWord(std::string& out, std::uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

// The codes of one image, each min_code_size + 1 bits wide, packed least significant bit
// first into data sub-blocks of at most 255 bytes.
class LiteralCodeWriter {
 public:
  LiteralCodeWriter(std::string& out, int min_code_size)
      : out_(out), code_width_(min_code_size + 1) {}

  void Emit(std::uint32_t code) {
    accumulator_ |= code << bit_count_;
    bit_count_ += code_width_;
    while (bit_count_ >= 8) {
      PutByte(static_cast<std::uint8_t>(accumulator_ & 0xFF));
      accumulator_ >>= 8;
      bit_count_ -= 8;
    }
  }

  // Writes the last partial byte (zero-padded), the pending sub-block and the terminator.
  void Finish() {
    if (bit_count_ > 0) PutByte(static_cast<std::uint8_t>(accumulator_ & 0xFF));
    accumulator_ = 0;
    bit_count_ = 0;
    WriteBlock();
    out_.push_back('\0');
  }

 private:
  void PutByte(std::uint8_t byte) {
    if (block_size_ == kMaxSubBlock) WriteBlock();
    block_[block_size_++] = byte;
  }

  void WriteBlock() {
    if (block_size_ == 0) return;
    out_.push_back(static_cast<char>(block_size_));
    out_.append(reinterpret_cast<const char*>(block_.data()), block_size_);
    block_size_ = 0;
  }

  std::string& out_;
  const int code_width_;
  std::uint32_t accumulator_ = 0;
  int bit_count_ = 0;
  std::array<std::uint8_t, kMaxSubBlock> block_{};
  std::size_t block_size_ = 0;
};

// Feeds the rows top row first (the last row in memory first); a clear code follows every
// 2^m - 2 pixel codes but the last, so the decoder's table never outgrows the code width.
void WriteImageData(std::string& out, const std::vector<std::uint8_t>& indices, std::uint32_t width,
                    std::uint32_t height, int min_code_size) {
  const std::uint32_t clear_code = 1u << min_code_size;
  const std::uint32_t end_code = clear_code + 1;
  const std::uint32_t codes_per_clear = clear_code - 2;
  const std::uint32_t mask = clear_code - 1;
  LiteralCodeWriter writer(out, min_code_size);
  writer.Emit(clear_code);
  std::optional<std::uint32_t> pending;
  std::uint32_t count = 0;
  for (std::uint32_t row = height; row-- > 0;) {
    const std::size_t first = std::size_t{row} * width;
    for (std::uint32_t column = 0; column < width; ++column) {
      const std::uint32_t index = indices[first + column] & mask;
      if (pending) {
        writer.Emit(*pending);
        if (++count == codes_per_clear) {
          writer.Emit(clear_code);
          count = 0;
        }
      }
      pending = index;
    }
  }
  if (pending) writer.Emit(*pending);
  writer.Emit(end_code);
  writer.Finish();
}

// The file's size: header, screen descriptor, colour table, control extension, image
// descriptor, the code stream with its sub-block lengths, terminator and trailer. Computed
// from the code width, so any colour count fits without the buffer growing.
std::size_t EncodedSize(std::size_t pixel_count, int colour_bits, int min_code_size) {
  const std::uint64_t per_clear = (std::uint64_t{1} << min_code_size) - 2;
  const std::uint64_t clears = pixel_count > 1 ? (pixel_count - 1) / per_clear : 0;
  const std::uint64_t codes = 2 + pixel_count + clears;  // first clear and end code
  const std::uint64_t data = (codes * (min_code_size + 1) + 7) / 8;
  const std::uint64_t blocks = (data + kMaxSubBlock - 1) / kMaxSubBlock;
  return static_cast<std::size_t>(6 + 7 + 3 * (std::uint64_t{1} << colour_bits) + 8 + 10 + 1 +
                                  data + blocks + 1 + 1);
}

}  // namespace

std::string EncodeGif(std::span<const std::uint8_t> pixels, std::uint32_t width,
                      std::uint32_t height, const GifOptions& options) {
  if (width > kMaxDimension || height > kMaxDimension)
    platform::FatalStop(platform::kInternalError);
  const std::size_t pixel_count = std::size_t{width} * height;
  if (pixels.size() / kBytesPerPixel < pixel_count) platform::FatalStop(platform::kInternalError);

  Palette palette;
  const std::vector<std::uint8_t> indices = IndexPixels(pixels, pixel_count, palette);
  const int colour_bits = ColourBits(palette.count);
  const int table_size = 1 << colour_bits;
  const int min_code_size = colour_bits < 2 ? 2 : colour_bits;

  std::string out;
  out.reserve(EncodedSize(pixel_count, colour_bits, min_code_size));
  out.append("GIF89a");
  PutWord(out, width);
  PutWord(out, height);
  out.push_back(static_cast<char>(0x80 | ((colour_bits - 1) << 4) | (colour_bits - 1)));
  out.push_back('\0');  // background colour index
  out.push_back('\0');  // pixel aspect ratio
  for (int i = 0; i < table_size; ++i) {
    for (std::uint8_t component : palette.entries[i]) out.push_back(static_cast<char>(component));
  }

  if (options.transparent) {
    // Only the colours found are searched: the black padding after them is used by no pixel,
    // so pointing at it would leave black pixels opaque.
    const Rgb wanted{options.red, options.green, options.blue};
    int index = palette.count - 1;
    while (index >= 0 && palette.entries[index] != wanted) --index;
    if (index >= 0) {
      out.append("\x21\xF9\x04\x01\x00\x00", 6);
      out.push_back(static_cast<char>(index));
      out.push_back('\0');
    }
  }

  out.push_back('\x2C');
  PutWord(out, 0);
  PutWord(out, 0);
  PutWord(out, width);
  PutWord(out, height);
  out.push_back('\0');  // no local table, not interlaced

  out.push_back(static_cast<char>(min_code_size));
  WriteImageData(out, indices, width, height, min_code_size);
  out.push_back('\x3B');
  return out;
}

}  // namespace pelrion::validation
