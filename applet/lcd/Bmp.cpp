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
  if (infoSize == 12) {  // the old core header: 16-bit sizes, 3-byte palette entries
    width = U16(info + 4);
    height = static_cast<int16_t>(U16(info + 6));
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
  } else {
    return false;
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return false;

  size_t paletteStart = kFileHeader + infoSize;
  if (compression == kBiBitfields) {
    // Accepted only as plain 32-bit pixels: masks in the header (V4/V5) or
    // after the 40-byte header.
    if (bpp != 32) return false;
    const uint8_t* masks = info + 40;
    if (infoSize < 52) {
      if (size < paletteStart + 12) return false;
      masks = data + paletteStart;
      paletteStart += 12;
    }
    if (U32(masks) != 0x00FF0000u || U32(masks + 4) != 0x0000FF00u || U32(masks + 8) != 0x000000FFu)
      return false;
  } else if (compression != kBiRgb) {
    return false;
  }

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
  if (pixelOffset > size || stride * static_cast<uint64_t>(height) > size - pixelOffset) return false;

  image.FileWidth = static_cast<int>(width);
  image.FileHeight = static_cast<int>(height);
  image.Width = static_cast<int>(std::min<int64_t>(width, std::max(maxWidth, 0)));
  image.Height = static_cast<int>(std::min<int64_t>(height, std::max(maxHeight, 0)));
  image.Pixels.resize(static_cast<size_t>(image.Width) * image.Height);
  for (int y = 0; y < image.Height; ++y) {
    const int64_t fileRow = topDown ? y : height - 1 - y;
    const uint8_t* row = data + pixelOffset + stride * static_cast<uint64_t>(fileRow);
    TRgb* out = image.Pixels.data() + static_cast<size_t>(y) * image.Width;
    for (int x = 0; x < image.Width; ++x) {
      if (bpp == 24) {
        out[x] = TRgb{row[x * 3], row[x * 3 + 1], row[x * 3 + 2]};
      } else if (bpp == 32) {
        out[x] = TRgb{row[x * 4], row[x * 4 + 1], row[x * 4 + 2]};
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
