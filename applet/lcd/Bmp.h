// Windows bitmap files: decoding of the LCD background picture and 24-bit
// encoding of frames (captures, the layout tool).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "applet/lcd/LcdFrame.h"

// A decoded picture, rows from the top. Only the top-left part that the
// decoder was asked for is kept; FileWidth/FileHeight give the file's size.
struct TBmpImage {
  int Width = 0;
  int Height = 0;
  int FileWidth = 0;
  int FileHeight = 0;
  std::vector<TRgb> Pixels;  // Width * Height

  bool Empty() const { return Width <= 0 || Height <= 0; }
  TRgb At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

// Decode a bitmap file in the forms Windows' own loader reads: 1, 4, 8, 16,
// 24 and 32 bits per pixel, bottom-up or top-down; RLE8 and RLE4 (bottom-up);
// 16 and 32 bits with BI_BITFIELDS masks (5-5-5, 5-6-5, any 32-bit masks;
// 16 bits without masks are 5-5-5); the 40-byte header and its longer forms,
// and the old 12-byte header (unsigned height, 3-byte palette entries).
// Keeps at most maxWidth x maxHeight pixels from the top left. Anything else
// (other compressions, a header, palette or pixel array that does not fit
// the data) is rejected: false and an empty image. Run-length data that ends
// early leaves the rest of the picture in palette entry 0. Never reads
// outside data.
bool DecodeBmp(const uint8_t* data, size_t size, TBmpImage& image, int maxWidth = kLcdWidth,
               int maxHeight = kLcdHeight);

// Start the frame: white paper with the picture's top-left part copied on it;
// with invert, each covered pixel becomes the inverse of the picture's pixel.
// Without a picture (empty image) the frame is plain white paper.
void CopyBackground(TLcdFrame& frame, const TBmpImage& image, bool invert);

// A 24-bit bottom-up bitmap file of width x height pixels given top row first
// (rows padded to 4 bytes). Empty for sizes <= 0.
std::vector<uint8_t> EncodeBmp24(const TRgb* pixels, int width, int height);

// The frame's file without allocation: 54 header bytes and 43 rows of 480.
constexpr size_t kFrameBmpSize = 54 + static_cast<size_t>(kLcdPixels) * 3;
void EncodeFrameBmp(const TLcdFrame& frame, uint8_t out[kFrameBmpSize]);
