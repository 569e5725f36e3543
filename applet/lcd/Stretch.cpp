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

namespace {

// One destination column: its two source columns and the weight of the
// right one, in 1/65536.
struct TColumn {
  int left, right;
  uint32_t t;
};

}  // namespace

void StretchPixels(const TRgb* src, int sw, int sh, uint8_t* dst, int dw, int dh, size_t dstStride) {
  if (sw < 1 || sh < 1 || dw < 1 || dh < 1) return;
  // A single destination column or row has no step to divide by: sample the
  // first source column or row instead of the Windows call's error value.
  const int32_t xs = dw > 1 ? MulDivRound(sw - 1, 65536, dw - 1) : 0;
  const int32_t ys = dh > 1 ? MulDivRound(sh - 1, 65536, dh - 1) : 0;
  // The columns' sources and weights are worked out once for all rows, a
  // block of columns at a time so that they fit on the stack.
  constexpr int kBlock = 256;
  TColumn columns[kBlock];
  for (int x0 = 0; x0 < dw; x0 += kBlock) {
    const int n = dw - x0 < kBlock ? dw - x0 : kBlock;
    for (int i = 0; i < n; ++i) {
      // The step summed x times in 32 bits, wrapping as the running sum does.
      const uint32_t fx = static_cast<uint32_t>(x0 + i) * static_cast<uint32_t>(xs);
      int sx = static_cast<int>(fx >> 16);
      if (sx > sw - 1) sx = sw - 1;  // rounding of the step can overshoot at huge sizes
      columns[i] = {sx, sx < sw - 1 ? sx + 1 : sx, fx & 65535u};
    }
    uint32_t fy = 0;
    for (int y = 0; y < dh; ++y, fy += static_cast<uint32_t>(ys)) {
      int sy = static_cast<int>(fy >> 16);
      if (sy > sh - 1) sy = sh - 1;
      const TRgb* rowA = src + static_cast<size_t>(sy) * sw;
      const TRgb* rowB = sy < sh - 1 ? rowA + sw : rowA;
      const uint32_t wB = (fy & 65535u) + 1;
      const uint32_t wA = ((~fy) & 65535u) + 1;
      uint8_t* out = dst + static_cast<size_t>(y) * dstStride + static_cast<size_t>(x0) * 3;
      for (int i = 0; i < n; ++i, out += 3) {
        const TColumn& c = columns[i];
        const TRgb& p = rowA[c.left];
        const TRgb& q = rowA[c.right];
        const TRgb& r = rowB[c.left];
        const TRgb& s = rowB[c.right];
        // Four equal pixels give that pixel: the weights sum to 65537 and
        // v * 65537 >> 16 is v for every byte v.
        if (p == q && r == s && p == r) {
          out[0] = p.b, out[1] = p.g, out[2] = p.r;
          continue;
        }
        // t * w + 32768 stays below 2^32 (t < 65536, w <= 65536).
        const uint32_t a2 = (c.t * wA + 32768u) >> 16;
        const uint32_t a1 = wA - a2;
        const uint32_t b2 = (c.t * wB + 32768u) >> 16;
        const uint32_t b1 = wB - b2;
        out[0] = static_cast<uint8_t>((p.b * a1 + q.b * a2 + r.b * b1 + s.b * b2) >> 16);
        out[1] = static_cast<uint8_t>((p.g * a1 + q.g * a2 + r.g * b1 + s.g * b2) >> 16);
        out[2] = static_cast<uint8_t>((p.r * a1 + q.r * a2 + r.r * b1 + s.r * b2) >> 16);
      }
    }
  }
}

void StretchFrame(const TLcdFrame& frame, uint8_t* dst, int dw, int dh, size_t dstStride) {
  StretchPixels(&frame.px[0][0], kLcdWidth, kLcdHeight, dst, dw, dh, dstStride);
}
