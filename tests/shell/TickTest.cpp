#include "applet/shell/Tick.h"

#include <gtest/gtest.h>

#include <vector>

// Ticks every 250 ms from a start time: the readings are gathered on the
// first tick and then on every fourth, whatever the start.
TEST(TickTest, GathersOnTheFirstTickAndOncePerSecond) {
  for (uint32_t start : {0u, 1u, 123456u}) {
    uint32_t next = 0;
    std::vector<int> gathered;
    for (int tick = 0; tick < 9; ++tick)
      if (TakeGatherTurn(start + 250u * tick, next)) gathered.push_back(tick);
    EXPECT_EQ(gathered, (std::vector<int>{0, 4, 8})) << "start " << start;
  }
}

// A direct tick between timer ticks (a WM_COPYDATA) does not move the
// schedule unless the second is over.
TEST(TickTest, ExtraTickInsideTheSecondDoesNotGather) {
  uint32_t next = 0;
  ASSERT_TRUE(TakeGatherTurn(5000, next));
  EXPECT_FALSE(TakeGatherTurn(5999, next));
  EXPECT_EQ(next, 6000u);
  EXPECT_TRUE(TakeGatherTurn(6000, next));
  EXPECT_EQ(next, 7000u);
}

TEST(TickTest, CaptureShowsUntilItsDeadline) {
  EXPECT_TRUE(CaptureShowing(2000, 1000));
  EXPECT_TRUE(CaptureShowing(2000, 2000));
  EXPECT_FALSE(CaptureShowing(2000, 2001));
}

TEST(TickTest, ForegroundGoesBackOnlyWhenNothingAsksForIt) {
  struct Case {
    bool holds, alarm;
    int32_t page;
    bool release;
  } cases[] = {
      {true, false, 0, true},  {true, false, 4, true},   {true, false, 5, false},
      {true, true, 0, false},  {false, false, 0, false}, {false, true, 5, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShouldReleaseForeground(c.holds, c.alarm, c.page), c.release)
        << c.holds << " " << c.alarm << " " << c.page;
}
