#include "applet/lcd/Bmp.h"

#include <algorithm>
#include <cstring>

namespace {

// Header fields, little-endian.
uint32_t U16(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8); }
uint32_t U32(const uint8_t* p) { return U16(p) | (U16(p + 2) << 16); }
int32_t S32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

constexpr size_t kFileHeader = 14;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr int32_t kMaxDimension = 1 << 16;

void WriteHeaders(uint8_t* h, int width, int height, uint32_t imageSize) {
  std::memset(h, 0, 54);
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, 54 + imageSize);
  Put32(h + 10, 54);
  Put32(h + 14, 40);
  Put32(h + 18, static_cast<uint32_t>(width));
  Put32(h + 22, static_cast<uint32_t>(height));
  Put16(h + 26, 1);
  Put16(h + 28, 24);
  Put32(h + 34, imageSize);
  Put32(h + 38, 2835);  // 72 dots per inch
  Put32(h + 42, 2835);
}

constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;

// One colour channel of a packed pixel: its mask's shift and width. A field
// of up to 8 bits becomes 8 bits by repeating its bits below it (so that a
// full field gives 255); a wider one by rounding its top 16 bits to 8.
struct TChannel {
  uint32_t Mask = 0;
  unsigned Shift = 0;
  unsigned Bits = 0;

  explicit TChannel(uint32_t mask) : Mask(mask) {
    if (mask == 0) return;
    while (((mask >> Shift) & 1u) == 0) ++Shift;
    while (Shift + Bits < 32 && ((mask >> (Shift + Bits)) & 1u) != 0) ++Bits;
  }
  uint8_t Of(uint32_t pixel) const {
    if (Bits == 0) return 0;
    const uint32_t v = (pixel & Mask) >> Shift;
    if (Bits <= 8) {
      uint32_t repeated = 0;
      for (int at = 8 - static_cast<int>(Bits); at > -static_cast<int>(Bits); at -= static_cast<int>(Bits))
        repeated |= at >= 0 ? v << at : v >> -at;
      return static_cast<uint8_t>(repeated & 0xFF);
    }
    const uint32_t q = (Bits >= 16 ? v >> (Bits - 16) : v << (16 - Bits)) & 0xFFFFu;
    return static_cast<uint8_t>(((q + 128) - ((q + 128) >> 8)) >> 8);
  }
};

// The picture's kept part as the decoder fills it: file row fileRow (counted
// in the file's order) and column x land in the image when they lie inside it.
struct TTarget {
  TBmpImage& Image;
  int64_t Height;
  bool TopDown;

  TRgb* Row(int64_t fileRow) const {
    const int64_t y = TopDown ? fileRow : Height - 1 - fileRow;
    if (y < 0 || y >= Image.Height) return nullptr;
    return Image.Pixels.data() + static_cast<size_t>(y) * Image.Width;
  }
};

// Run-length encoded pixels (RLE8, or RLE4 with two indexes a byte, the high
// nibble first), rows from the bottom. Runs and absolute groups that overrun
// their row are cut at its end, a delta or row end past the last row ends the
// picture, and so does the end of the data; pixels the data never reaches
// keep palette entry 0.
void DecodeRle(const uint8_t* at, const uint8_t* end, int64_t width, int64_t height, bool rle4,
               const TRgb* palette, size_t paletteCount, const TTarget& target) {
  int64_t x = 0, row = 0;
  TRgb* out = target.Row(row);
  auto put = [&](unsigned index) {
    if (out != nullptr && x < target.Image.Width)
      out[x] = index < paletteCount ? palette[index] : kBlack;
    ++x;
  };
  while (end - at >= 2 && row < height) {
    const unsigned count = at[0], value = at[1];
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count && x < width; ++i) put(rle4 ? (i & 1 ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0 || value == 1) {  // end of the row, end of the picture
      if (value == 1) return;
      x = 0;
      out = target.Row(++row);
    } else if (value == 2) {  // delta: right and up
      if (end - at < 2) return;
      x += at[0];
      row += at[1];
      at += 2;
      out = target.Row(row);
    } else {  // absolute: value indexes, padded to a 16-bit boundary
      const size_t bytes = rle4 ? (value + 1) / 2 : value;
      if (static_cast<size_t>(end - at) < bytes) return;
      for (unsigned i = 0; i < value && x < width; ++i)
        put(rle4 ? (i & 1 ? at[i / 2] & 15 : at[i / 2] >> 4) : at[i]);
      const size_t padded = bytes + (bytes & 1);
      if (static_cast<size_t>(end - at) < padded) return;
      at += padded;
    }
  }
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, TBmpImage& image, int maxWidth, int maxHeight) {
  image = TBmpImage{};
  if (data == nullptr || size < kFileHeader + 12 || data[0] != 'B' || data[1] != 'M') return false;
  const uint32_t pixelOffset = U32(data + 10);
  const uint32_t infoSize = U32(data + 14);
  if (infoSize > size - kFileHeader) return false;
  const uint8_t* info = data + kFileHeader;

  int64_t width, height;
  uint32_t bpp, compression = kBiRgb, colorsUsed = 0;
  size_t paletteEntry = 4;
  bool topDown = false;
  if (infoSize == 12) {  // the old core header: unsigned 16-bit sizes, 3-byte palette entries
    width = U16(info + 4);
    height = U16(info + 6);
    if (U16(info + 8) != 1) return false;
    bpp = U16(info + 10);
    paletteEntry = 3;
  } else if (infoSize >= 40) {
    width = S32(info + 4);
    height = S32(info + 8);
    if (U16(info + 12) != 1) return false;
    bpp = U16(info + 14);
    compression = U32(info + 16);
    colorsUsed = U32(info + 32);
    topDown = height < 0;
    if (topDown) height = -height;
  } else {
    return false;
  }
  if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension) return false;

  const bool rle = compression == kBiRle8 || compression == kBiRle4;
  if (compression == kBiRgb) {
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  } else if (rle) {
    // Run-length pictures are stored from the bottom row only.
    if (bpp != (compression == kBiRle8 ? 8u : 4u) || topDown) return false;
  } else if (compression == kBiBitfields) {
    if (bpp != 16 && bpp != 32) return false;
  } else {
    return false;
  }

  // Packed pixels: the masks of the header's bit fields, or the fixed 5-5-5
  // and 8-8-8 layouts.
  size_t paletteStart = kFileHeader + infoSize;
  uint32_t masks[3] = {0x7C00u, 0x03E0u, 0x001Fu};
  if (bpp == 32) {
    masks[0] = 0x00FF0000u;
    masks[1] = 0x0000FF00u;
    masks[2] = 0x000000FFu;
  }
  if (compression == kBiBitfields) {
    const uint8_t* fields = info + 40;
    if (infoSize < 52) {  // a 40-byte header is followed by the three masks
      if (size < paletteStart + 12) return false;
      fields = data + paletteStart;
      paletteStart += 12;
    }
    for (int i = 0; i < 3; ++i) masks[i] = U32(fields + 4 * i);
  }
  const TChannel red(masks[0]), green(masks[1]), blue(masks[2]);

  TRgb palette[256];
  size_t paletteCount = 0;
  if (bpp <= 8) {
    const size_t full = size_t{1} << bpp;
    paletteCount = (colorsUsed == 0 || colorsUsed > full) ? full : colorsUsed;
    // The palette must lie before the pixels and inside the file.
    if (paletteStart + paletteCount * paletteEntry > size) return false;
    if (pixelOffset < paletteStart + paletteCount * paletteEntry) return false;
    for (size_t i = 0; i < paletteCount; ++i) {
      const uint8_t* e = data + paletteStart + i * paletteEntry;
      palette[i] = TRgb{e[0], e[1], e[2]};
    }
  } else if (pixelOffset < paletteStart) {
    return false;
  }

  const uint64_t stride = ((static_cast<uint64_t>(width) * bpp + 31) / 32) * 4;
  if (pixelOffset > size) return false;
  if (!rle && stride * static_cast<uint64_t>(height) > size - pixelOffset) return false;

  image.FileWidth = static_cast<int>(width);
  image.FileHeight = static_cast<int>(height);
  image.Width = static_cast<int>(std::min<int64_t>(width, std::max(maxWidth, 0)));
  image.Height = static_cast<int>(std::min<int64_t>(height, std::max(maxHeight, 0)));
  const TTarget target{image, height, topDown};
  if (rle) {
    image.Pixels.assign(static_cast<size_t>(image.Width) * image.Height, paletteCount > 0 ? palette[0] : kBlack);
    DecodeRle(data + pixelOffset, data + size, width, height, compression == kBiRle4, palette, paletteCount,
              target);
    return true;
  }
  image.Pixels.resize(static_cast<size_t>(image.Width) * image.Height);
  for (int64_t fileRow = 0; fileRow < height; ++fileRow) {
    TRgb* out = target.Row(fileRow);
    if (out == nullptr) continue;
    const uint8_t* row = data + pixelOffset + stride * static_cast<uint64_t>(fileRow);
    for (int x = 0; x < image.Width; ++x) {
      if (bpp == 24) {
        out[x] = TRgb{row[x * 3], row[x * 3 + 1], row[x * 3 + 2]};
      } else if (bpp == 16 || bpp == 32) {
        const uint32_t pixel = bpp == 16 ? U16(row + x * 2) : U32(row + x * 4);
        out[x] = TRgb{blue.Of(pixel), green.Of(pixel), red.Of(pixel)};
      } else {
        const unsigned bit = static_cast<unsigned>(x) * bpp;
        const unsigned shift = 8 - bpp - (bit & 7);
        const unsigned index = (row[bit >> 3] >> shift) & ((1u << bpp) - 1);
        // An index past a short palette shows black, as the display would.
        out[x] = index < paletteCount ? palette[index] : kBlack;
      }
    }
  }
  return true;
}

void CopyBackground(TLcdFrame& frame, const TBmpImage& image, bool invert) {
  frame.FillAll(kWhite);
  if (image.Empty()) return;
  const int w = std::min(image.Width, kLcdWidth);
  const int h = std::min(image.Height, kLcdHeight);
  for (int y = 0; y < h; ++y) {
    const TRgb* from = &image.Pixels[static_cast<size_t>(y) * image.Width];
    if (!invert) {
      std::memcpy(frame.px[y], from, static_cast<size_t>(w) * sizeof(TRgb));
      continue;
    }
    const uint8_t* in = &from->b;
    uint8_t* out = &frame.px[y][0].b;
    for (int i = 0; i < w * 3; ++i) out[i] = static_cast<uint8_t>(~in[i]);
  }
}

std::vector<uint8_t> EncodeBmp24(const TRgb* pixels, int width, int height) {
  if (width <= 0 || height <= 0 || pixels == nullptr) return {};
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  const size_t imageSize = stride * height;
  std::vector<uint8_t> file(54 + imageSize, 0);
  WriteHeaders(file.data(), width, height, static_cast<uint32_t>(imageSize));
  for (int y = 0; y < height; ++y)
    std::memcpy(file.data() + 54 + stride * (height - 1 - y), pixels + static_cast<size_t>(y) * width,
                static_cast<size_t>(width) * 3);
  return file;
}

void EncodeFrameBmp(const TLcdFrame& frame, uint8_t out[kFrameBmpSize]) {
  constexpr size_t stride = kLcdWidth * 3;  // already a multiple of 4
  WriteHeaders(out, kLcdWidth, kLcdHeight, static_cast<uint32_t>(stride * kLcdHeight));
  for (int y = 0; y < kLcdHeight; ++y) std::memcpy(out + 54 + stride * (kLcdHeight - 1 - y), frame.px[y], stride);
}
