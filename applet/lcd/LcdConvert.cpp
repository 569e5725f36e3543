#include <cstring>

#include "applet/lcd/LcdFrame.h"

namespace {

// Pixels' levels one by one: 299/587/114 sum to 1000, so the threshold 128
// becomes 128000.
void Levels(const TRgb* p, int count, uint8_t* out) {
  for (int i = 0; i < count; ++i) {
    const unsigned luma = 299u * p[i].r + 587u * p[i].g + 114u * p[i].b;
    out[i] = luma >= 128000u ? 255 : 0;
  }
}

}  // namespace

void ConvertFrameTo8Bit(const TLcdFrame& frame, uint8_t out[kLcdPixels]) {
  // Eight pixels (24 bytes) at a time. When every channel of the eight is
  // 128 or more, every luma is at least 128000: all white; when every one
  // is below 128, every luma is at most 127000: all black. Only groups that
  // mix the two halves are weighed pixel by pixel.
  static_assert(kLcdPixels % 8 == 0, "whole groups of eight");
  constexpr uint64_t kHigh = 0x8080808080808080u;
  const TRgb* pixels = &frame.px[0][0];
  const uint8_t* in = &pixels->b;
  for (int i = 0; i < kLcdPixels; i += 8, in += 24) {
    uint64_t w0, w1, w2;
    std::memcpy(&w0, in, 8);
    std::memcpy(&w1, in + 8, 8);
    std::memcpy(&w2, in + 16, 8);
    if ((w0 & w1 & w2 & kHigh) == kHigh) {
      std::memset(out + i, 255, 8);
    } else if (((w0 | w1 | w2) & kHigh) == 0) {
      std::memset(out + i, 0, 8);
    } else {
      Levels(pixels + i, 8, out + i);
    }
  }
}
