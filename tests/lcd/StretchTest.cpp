#include "applet/lcd/Stretch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

TEST(MulDivRound, RoundsToNearest) {
  EXPECT_EQ(MulDivRound(159, 65536, 319), 32665);  // 32665.3
  EXPECT_EQ(MulDivRound(42, 65536, 85), 32382);    // 32382.49
  EXPECT_EQ(MulDivRound(1, 1, 2), 1);
  EXPECT_EQ(MulDivRound(-1, 1, 2), -1);
  EXPECT_EQ(MulDivRound(65535, 65536, 65536), 65535);
  EXPECT_EQ(MulDivRound(5, 5, 0), -1);
}

TEST(StretchFrame, BilinearSteps) {
  TLcdFrame frame;
  frame.FillAll(kWhite);
  frame.Set(0, 0, kBlack);
  frame.Set(159, 42, TRgb{0, 0, 200});
  const int dw = 320, dh = 86;
  const size_t stride = dw * 3 + 4;  // a row gap the routine must respect
  std::vector<uint8_t> out(stride * dh, 0xAB);
  StretchFrame(frame, out.data(), dw, dh, stride);
  auto at = [&](int x, int y, int c) { return out[y * stride + x * 3 + c]; };
  // The corners sample the corner pixels exactly.
  EXPECT_EQ(at(0, 0, 0), 0);
  EXPECT_EQ(at(319, 85, 2), 200);
  EXPECT_EQ(at(319, 85, 0), 0);
  // Between black (0,0) and white (1,0): fx = 32665, t/65536 about one half.
  // a2 = MulDiv(32665, 65536, 65536) = 32665, a1 = 32871; row B is white.
  // Blue: (0 * 32871 + 255 * 32665 + 255 * 1) >> 16 = 127.
  EXPECT_EQ(at(1, 0, 0), 127);
  // Far from the marks everything stays white, including 255 * 65537 >> 16.
  EXPECT_EQ(at(100, 40, 1), 255);
  EXPECT_EQ(out[dw * 3], 0xAB);  // the gap is untouched
}

TEST(StretchFrame, DegenerateSizes) {
  TLcdFrame frame;
  frame.FillAll(kBlack);
  std::vector<uint8_t> out(3 * 4, 0x55);
  StretchFrame(frame, out.data(), 1, 1, 3);
  EXPECT_EQ(out[0], 0);
  StretchFrame(frame, out.data(), 0, 5, 3);
  StretchFrame(frame, out.data(), 4, -1, 12);
  EXPECT_EQ(out[3], 0x55);
  // 1:1 is an exact copy.
  frame.Set(7, 3, TRgb{1, 2, 3});
  std::vector<uint8_t> same(kLcdPixels * 3);
  StretchFrame(frame, same.data(), kLcdWidth, kLcdHeight, kLcdWidth * 3);
  EXPECT_EQ(same[(3 * kLcdWidth + 7) * 3 + 2], 3);
  EXPECT_EQ(same[(3 * kLcdWidth + 8) * 3 + 2], 0);
}

// The weights come from a table of columns, and equal neighbours take a
// short cut; every byte must still be what the step-by-step arithmetic
// below gives, for enlargements, reductions and sizes past one block of
// columns.
void ReferenceStretch(const TRgb* src, int sw, int sh, uint8_t* dst, int dw, int dh, size_t stride) {
  const int32_t xs = dw > 1 ? MulDivRound(sw - 1, 65536, dw - 1) : 0;
  const int32_t ys = dh > 1 ? MulDivRound(sh - 1, 65536, dh - 1) : 0;
  uint32_t fy = 0;
  for (int y = 0; y < dh; ++y, fy += ys) {
    const int sy = std::min(static_cast<int>(fy >> 16), sh - 1);
    const TRgb* rowA = src + static_cast<size_t>(sy) * sw;
    const TRgb* rowB = sy < sh - 1 ? rowA + sw : rowA;
    const uint64_t wB = (fy & 65535u) + 1, wA = ((~fy) & 65535u) + 1;
    uint32_t fx = 0;
    for (int x = 0; x < dw; ++x, fx += xs) {
      const int sx = std::min(static_cast<int>(fx >> 16), sw - 1);
      const int sx2 = sx < sw - 1 ? sx + 1 : sx;
      const uint64_t t = fx & 65535u;
      const uint64_t a2 = (t * wA + 32768) >> 16, a1 = wA - a2;
      const uint64_t b2 = (t * wB + 32768) >> 16, b1 = wB - b2;
      const uint8_t* p = &rowA[sx].b;
      const uint8_t* q = &rowA[sx2].b;
      const uint8_t* r = &rowB[sx].b;
      const uint8_t* s = &rowB[sx2].b;
      for (int c = 0; c < 3; ++c)
        dst[y * stride + x * 3 + c] = static_cast<uint8_t>((p[c] * a1 + q[c] * a2 + r[c] * b1 + s[c] * b2) >> 16);
    }
  }
}

TEST(StretchFrame, SameAsStepByStep) {
  TLcdFrame frame;
  uint32_t seed = 3;
  for (int y = 0; y < kLcdHeight; ++y)
    for (int x = 0; x < kLcdWidth; ++x) {
      seed = seed * 1103515245u + 12345u;
      // Runs of equal pixels beside single odd ones, black, white and colours.
      const uint8_t v = (seed >> 20) % 4 == 0 ? static_cast<uint8_t>(seed >> 8) : (x / 5 + y / 3) % 2 ? 255 : 0;
      frame.px[y][x] = TRgb{v, static_cast<uint8_t>(x % 7 == 0 ? v / 2 : v), v};
    }
  const std::pair<int, int> sizes[] = {{320, 86}, {640, 172}, {161, 44}, {100, 20}, {1000, 43}, {2, 2}, {1, 86}};
  for (const auto& size : sizes) {
    const int dw = size.first, dh = size.second;
    const size_t stride = static_cast<size_t>(dw) * 3 + 1;
    std::vector<uint8_t> got(stride * dh, 0xAB), want(stride * dh, 0xAB);
    StretchFrame(frame, got.data(), dw, dh, stride);
    ReferenceStretch(&frame.px[0][0], kLcdWidth, kLcdHeight, want.data(), dw, dh, stride);
    EXPECT_TRUE(got == want) << dw << " x " << dh;
  }
}

}  // namespace
