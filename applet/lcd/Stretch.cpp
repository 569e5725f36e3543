#include "applet/lcd/Stretch.h"

int32_t MulDivRound(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  int64_t p = static_cast<int64_t>(a) * b;
  bool negative = (p < 0) != (c < 0);
  uint64_t up = static_cast<uint64_t>(p < 0 ? -p : p);
  uint64_t uc = static_cast<uint64_t>(c < 0 ? -static_cast<int64_t>(c) : c);
  uint64_t q = (up + uc / 2) / uc;
  int64_t r = negative ? -static_cast<int64_t>(q) : static_cast<int64_t>(q);
  if (r > INT32_MAX || r < INT32_MIN) return -1;
  return static_cast<int32_t>(r);
}

void StretchPixels(const TRgb* src, int sw, int sh, uint8_t* dst, int dw, int dh, size_t dstStride) {
  if (sw < 1 || sh < 1 || dw < 1 || dh < 1) return;
  // A single destination column or row has no step to divide by: sample the
  // first source column or row instead of the Windows call's error value.
  const int32_t xs = dw > 1 ? MulDivRound(sw - 1, 65536, dw - 1) : 0;
  const int32_t ys = dh > 1 ? MulDivRound(sh - 1, 65536, dh - 1) : 0;
  uint32_t fy = 0;
  for (int y = 0; y < dh; ++y, fy += ys) {
    int sy = static_cast<int>(fy >> 16);
    if (sy > sh - 1) sy = sh - 1;  // rounding of the step can overshoot at huge sizes
    const TRgb* rowA = src + static_cast<size_t>(sy) * sw;
    const TRgb* rowB = sy < sh - 1 ? rowA + sw : rowA;
    const uint32_t wB = (fy & 65535u) + 1;
    const uint32_t wA = ((~fy) & 65535u) + 1;
    uint8_t* out = dst + static_cast<size_t>(y) * dstStride;
    uint32_t fx = 0;
    for (int x = 0; x < dw; ++x, fx += xs) {
      int sx = static_cast<int>(fx >> 16);
      if (sx > sw - 1) sx = sw - 1;
      const int sx2 = sx < sw - 1 ? sx + 1 : sx;
      const uint32_t t = fx & 65535u;
      const uint32_t a2 = static_cast<uint32_t>((static_cast<uint64_t>(t) * wA + 32768) >> 16);
      const uint32_t a1 = wA - a2;
      const uint32_t b2 = static_cast<uint32_t>((static_cast<uint64_t>(t) * wB + 32768) >> 16);
      const uint32_t b1 = wB - b2;
      const TRgb& p = rowA[sx];
      const TRgb& q = rowA[sx2];
      const TRgb& r = rowB[sx];
      const TRgb& s = rowB[sx2];
      out[0] = static_cast<uint8_t>((p.b * a1 + q.b * a2 + r.b * b1 + s.b * b2) >> 16);
      out[1] = static_cast<uint8_t>((p.g * a1 + q.g * a2 + r.g * b1 + s.g * b2) >> 16);
      out[2] = static_cast<uint8_t>((p.r * a1 + q.r * a2 + r.r * b1 + s.r * b2) >> 16);
      out += 3;
    }
  }
}

void StretchFrame(const TLcdFrame& frame, uint8_t* dst, int dw, int dh, size_t dstStride) {
  StretchPixels(&frame.px[0][0], kLcdWidth, kLcdHeight, dst, dw, dh, dstStride);
}
