#include "validation/gif_test_helpers.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

namespace pelrion::validation::testing_gif {

std::vector<std::uint8_t> EncoderPixels(const Picture& picture, std::uint8_t filler) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(picture.rgb.size() * 4);
  for (std::uint32_t row = picture.height; row-- > 0;) {
    for (std::uint32_t column = 0; column < picture.width; ++column) {
      const std::uint32_t rgb = picture.rgb[std::size_t{row} * picture.width + column];
      bytes.push_back(static_cast<std::uint8_t>(rgb));
      bytes.push_back(static_cast<std::uint8_t>(rgb >> 8));
      bytes.push_back(static_cast<std::uint8_t>(rgb >> 16));
      bytes.push_back(filler);
    }
  }
  return bytes;
}

namespace {

struct MemoryInput {
  std::string_view bytes;
  std::size_t offset = 0;
};

int ReadFromMemory(GifFileType* file, GifByteType* buffer, int length) {
  auto* input = static_cast<MemoryInput*>(file->UserData);
  const std::size_t n =
      std::min(static_cast<std::size_t>(length), input->bytes.size() - input->offset);
  std::memcpy(buffer, input->bytes.data() + input->offset, n);
  input->offset += n;
  return static_cast<int>(n);
}

std::uint32_t Rgb(const GifColorType& c) {
  return (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
}

void ReadImage(const GifFileType& file, DecodedGif& out) {
  const SavedImage& image = file.SavedImages[0];
  out.image_left = image.ImageDesc.Left;
  out.image_top = image.ImageDesc.Top;
  out.image_width = image.ImageDesc.Width;
  out.image_height = image.ImageDesc.Height;
  out.interlaced = image.ImageDesc.Interlace;
  out.local_table = image.ImageDesc.ColorMap != nullptr;
  const std::size_t count = std::size_t(out.image_width) * std::size_t(out.image_height);
  out.indices.assign(image.RasterBits, image.RasterBits + count);
  for (int i = 0; i < image.ExtensionBlockCount; ++i) {
    const ExtensionBlock& block = image.ExtensionBlocks[i];
    if (block.Function != GRAPHICS_EXT_FUNC_CODE) continue;
    GraphicsControlBlock control;
    if (DGifExtensionToGCB(block.ByteCount, block.Bytes, &control) != GIF_OK) continue;
    if (++out.control_extensions == 1) out.transparent_index = control.TransparentColor;
  }
}

}  // namespace

DecodedGif DecodeWithGiflib(std::string_view gif) {
  DecodedGif out;
  MemoryInput input{gif};
  int error = 0;
  GifFileType* file = DGifOpen(&input, ReadFromMemory, &error);
  if (file == nullptr) {
    out.error = GifErrorString(error);
    return out;
  }
  if (DGifSlurp(file) != GIF_OK) {
    out.error = GifErrorString(file->Error);
  } else if (file->ImageCount != 1) {
    out.error = "image count " + std::to_string(file->ImageCount);
  } else {
    out.screen_width = file->SWidth;
    out.screen_height = file->SHeight;
    out.colour_resolution = file->SColorResolution;
    if (file->SColorMap != nullptr) {
      for (int i = 0; i < file->SColorMap->ColorCount; ++i) {
        out.colour_table.push_back(Rgb(file->SColorMap->Colors[i]));
      }
    }
    ReadImage(*file, out);
    out.ok = true;
  }
  DGifCloseFile(file, &error);
  return out;
}

std::vector<std::uint32_t> DecodedColours(const DecodedGif& decoded) {
  std::vector<std::uint32_t> colours;
  for (std::uint8_t index : decoded.indices) {
    if (index >= decoded.colour_table.size()) return {};
    colours.push_back(decoded.colour_table[index]);
  }
  return colours;
}

namespace {

class Cursor {
 public:
  explicit Cursor(std::string_view bytes) : bytes_(bytes) {}
  bool Has(std::size_t n) const { return bytes_.size() - offset_ >= n; }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(bytes_[offset_++]); }
  std::string_view Take(std::size_t n) {
    const std::string_view part = bytes_.substr(offset_, n);
    offset_ += n;
    return part;
  }
  bool AtEnd() const { return offset_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t offset_ = 0;
};

bool Fail(GifLayout& layout, const char* why) {
  layout.error = why;
  return false;
}

bool ReadBlocks(Cursor& in, GifLayout& layout) {
  if (!in.Has(13) || in.Take(6) != "GIF89a") return Fail(layout, "no GIF89a header");
  in.Take(4);
  layout.screen_packed = in.Byte();
  in.Take(2);
  if ((layout.screen_packed & 0x80) != 0) {
    layout.table_entries = std::size_t{1} << ((layout.screen_packed & 0x07) + 1);
    if (!in.Has(3 * layout.table_entries)) return Fail(layout, "short colour table");
    in.Take(3 * layout.table_entries);
  }
  Cursor peek = in;
  if (peek.Has(1) && peek.Byte() == 0x21) {
    if (!in.Has(8)) return Fail(layout, "short extension");
    layout.has_control_extension = true;
    layout.control_extension = std::string(in.Take(8));
  }
  if (!in.Has(11) || in.Byte() != 0x2C) return Fail(layout, "no image descriptor");
  in.Take(9);
  layout.min_code_size = in.Byte();
  for (;;) {
    if (!in.Has(1)) return Fail(layout, "data ends without a terminator");
    const std::size_t size = in.Byte();
    if (size == 0) break;
    if (!in.Has(size)) return Fail(layout, "short sub-block");
    layout.sub_block_sizes.push_back(size);
    layout.lzw_data.append(in.Take(size));
  }
  layout.ends_with_trailer = in.Has(1) && in.Byte() == 0x3B && in.AtEnd();
  return true;
}

}  // namespace

GifLayout ReadLayout(std::string_view gif) {
  GifLayout layout;
  Cursor in(gif);
  layout.ok = ReadBlocks(in, layout);
  return layout;
}

std::vector<std::uint32_t> ReadCodes(std::string_view data, int min_code_size) {
  const int width = min_code_size + 1;
  const std::uint32_t end_code = (1u << min_code_size) + 1;
  std::vector<std::uint32_t> codes;
  std::uint32_t accumulator = 0;
  int bits = 0;
  for (char c : data) {
    accumulator |= std::uint32_t{static_cast<std::uint8_t>(c)} << bits;
    bits += 8;
    while (bits >= width) {
      codes.push_back(accumulator & ((1u << width) - 1));
      if (codes.back() == end_code) return codes;
      accumulator >>= width;
      bits -= width;
    }
  }
  return codes;
}

}  // namespace pelrion::validation::testing_gif
