#include "applet/lcd/Buttons.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int32_t Press(int32_t page, const std::vector<uint32_t>& buttons) {
  for (uint32_t b : buttons) page = OnLcdButtons(page, b).PageMode;
  return page;
}

TEST(OnLcdButtons, PageSequences) {
  struct Case {
    int32_t start;
    std::vector<uint32_t> buttons;
    int32_t end;
  };
  const Case cases[] = {
      {0, {8, 8, 8, 8, 8}, 1}, {0, {8, 8, 8}, 3}, {2, {4}, 4}, {4, {4}, 0},  {4, {8}, 1},
      {5, {4, 8, 4, 8}, 5},    {3, {4, 4}, 0},    {1, {0, 16, 3, 9}, 1}, {0, {1, 2, 12}, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Press(c.start, c.buttons), c.end) << "from " << c.start;
}

TEST(OnLcdButtons, Actions) {
  EXPECT_EQ(OnLcdButtons(0, 1).Action, kButtonToggleWindow);
  EXPECT_EQ(OnLcdButtons(0, 2).Action, kButtonCapture);
  EXPECT_EQ(OnLcdButtons(5, 12).Action, kButtonClose);
  EXPECT_EQ(OnLcdButtons(5, 12).PageMode, 5);
  EXPECT_EQ(OnLcdButtons(2, 8).Action, kButtonNothing);
  EXPECT_EQ(OnLcdButtons(2, 6).Action, kButtonNothing);
}

}  // namespace
