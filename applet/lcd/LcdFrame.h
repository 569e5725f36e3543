// The LCD picture: our own 160 x 43 frame of 24-bit pixels, rows from the top.
// Every drawing routine, the capture, the preview and the LCD send work on it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr int kLcdWidth = 160;
constexpr int kLcdHeight = 43;
constexpr int kLcdPixels = kLcdWidth * kLcdHeight;  // 6880, one byte each on the LCD

// One pixel in the byte order of a 24-bit bitmap file (blue, green, red).
struct TRgb {
  uint8_t b, g, r;
  constexpr bool operator==(const TRgb& o) const { return b == o.b && g == o.g && r == o.r; }
  constexpr bool operator!=(const TRgb& o) const { return !(*this == o); }
};
static_assert(sizeof(TRgb) == 3, "pixels are packed 24-bit");

constexpr TRgb kBlack{0, 0, 0};
constexpr TRgb kWhite{255, 255, 255};

// Paints count pixels from p on with c; grey levels (black and white too)
// are one byte value and go by memset.
inline void FillPixels(TRgb* p, int count, TRgb c) {
  if (count <= 0) return;
  if (c.b == c.g && c.g == c.r) {
    std::memset(p, c.b, static_cast<size_t>(count) * sizeof(TRgb));
    return;
  }
  for (int i = 0; i < count; ++i) p[i] = c;
}

struct TLcdFrame {
  TRgb px[kLcdHeight][kLcdWidth];

  // Coordinates outside the frame read as white and are not written.
  static constexpr bool Inside(int x, int y) {
    return x >= 0 && x < kLcdWidth && y >= 0 && y < kLcdHeight;
  }
  TRgb Get(int x, int y) const { return Inside(x, y) ? px[y][x] : kWhite; }
  void Set(int x, int y, TRgb c) {
    if (Inside(x, y)) px[y][x] = c;
  }
  void FillAll(TRgb c) { FillPixels(&px[0][0], kLcdPixels, c); }
};

// The LCD's 8-bit form: one byte a pixel, rows from the top. Black is 0 and
// white 255; any other colour becomes 255 when its luma (0.299 R + 0.587 G +
// 0.114 B, in integer form) is at least 128, else 0, because the LCD shows
// only two levels.
void ConvertFrameTo8Bit(const TLcdFrame& frame, uint8_t out[kLcdPixels]);
