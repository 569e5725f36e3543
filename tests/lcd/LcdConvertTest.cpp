#include "applet/lcd/LcdFrame.h"

#include <gtest/gtest.h>

#include <vector>

TEST(ConvertFrameTo8Bit, MapsPlacesAndLevels) {
  TLcdFrame frame;
  frame.FillAll(kWhite);
  frame.Set(159, 0, kBlack);
  frame.Set(0, 42, kBlack);
  frame.Set(1, 1, TRgb{0, 0, 255});      // pure red: luma 76, dark
  frame.Set(2, 1, TRgb{0, 255, 0});      // pure green: luma 150, light
  frame.Set(3, 1, TRgb{128, 128, 128});  // mid grey: exactly the threshold
  frame.Set(4, 1, TRgb{127, 127, 127});
  std::vector<uint8_t> out(kLcdPixels, 7);
  ConvertFrameTo8Bit(frame, out.data());
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[159], 0);
  EXPECT_EQ(out[6720], 0);
  EXPECT_EQ(out[6879], 255);
  EXPECT_EQ(out[161], 0);
  EXPECT_EQ(out[162], 255);
  EXPECT_EQ(out[163], 255);
  EXPECT_EQ(out[164], 0);
}

// Groups of eight that are all light or all dark take a short cut; every
// pixel must still get the level of its own luma, near the threshold too.
TEST(ConvertFrameTo8Bit, EveryPixelByItsLuma) {
  uint32_t seed = 1;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, static_cast<uint8_t>(seed >> 16); };
  for (int pattern = 0; pattern < 4; ++pattern) {
    TLcdFrame frame;
    for (int y = 0; y < kLcdHeight; ++y)
      for (int x = 0; x < kLcdWidth; ++x) {
        TRgb& p = frame.px[y][x];
        switch (pattern) {
          case 0: p = TRgb{next(), next(), next()}; break;  // any colour
          case 1: {                                          // greys around 128
            const uint8_t v = static_cast<uint8_t>(124 + next() % 8);
            p = TRgb{v, v, v};
            break;
          }
          case 2: p = (x / 8 + y) % 3 == 0 ? TRgb{0, 0, 0} : TRgb{255, 255, 255}; break;  // whole groups
          default: p = next() % 2 ? TRgb{127, 255, 255} : TRgb{128, 0, 0}; break;      // halves mixed
        }
      }
    std::vector<uint8_t> out(kLcdPixels, 7);
    ConvertFrameTo8Bit(frame, out.data());
    for (int i = 0; i < kLcdPixels; ++i) {
      const TRgb& p = frame.px[i / kLcdWidth][i % kLcdWidth];
      const unsigned luma = 299u * p.r + 587u * p.g + 114u * p.b;
      ASSERT_EQ(out[i], luma >= 128000u ? 255 : 0) << "pattern " << pattern << ", pixel " << i;
    }
  }
}
