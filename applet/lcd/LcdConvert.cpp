#include "applet/lcd/LcdFrame.h"

void ConvertFrameTo8Bit(const TLcdFrame& frame, uint8_t out[kLcdPixels]) {
  uint8_t* o = out;
  for (const auto& row : frame.px) {
    for (const TRgb& p : row) {
      // 299/587/114 sum to 1000; the threshold 128 becomes 128000.
      const unsigned luma = 299u * p.r + 587u * p.g + 114u * p.b;
      *o++ = luma >= 128000u ? 255 : 0;
    }
  }
}
