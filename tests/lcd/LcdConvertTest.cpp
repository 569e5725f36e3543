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
