#include "applet/lcd/Stretch.h"

#include <gtest/gtest.h>

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

}  // namespace
