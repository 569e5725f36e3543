#include "applet/shell/Tick.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Ticks every 250 ms for ten seconds from a start time: the readings are
// gathered on the first tick and then on every fourth, whatever the start,
// across the tick count's wrap too (starts just below it) and from a first
// tick whose count lies half the range away from the initial 0.
TEST(TickTest, GathersOnTheFirstTickAndOncePerSecond) {
  for (uint32_t start : {0u, 1u, 123456u, 0x7FFFFF00u, 0x80000000u, 0xFFFFF000u, 0xFFFFFC18u, 0xFFFFFF06u,
                         0xFFFFFFFFu}) {
    uint32_t next = 0;
    bool gathered = false;
    std::vector<int> turns;
    for (int tick = 0; tick < 40; ++tick)
      if (TakeGatherTurn(start + 250u * tick, next, gathered)) turns.push_back(tick);
    std::vector<int> expected;
    for (int tick = 0; tick < 40; tick += 4) expected.push_back(tick);
    EXPECT_EQ(turns, expected) << "start " << std::hex << start;
  }
}

// A direct tick between timer ticks (a WM_COPYDATA) does not move the
// schedule unless the second is over.
TEST(TickTest, ExtraTickInsideTheSecondDoesNotGather) {
  for (uint32_t start : {5000u, 0xFFFFFE00u}) {
    uint32_t next = 0;
    bool gathered = false;
    ASSERT_TRUE(TakeGatherTurn(start, next, gathered));
    EXPECT_FALSE(TakeGatherTurn(start + 999, next, gathered));
    EXPECT_EQ(next, start + 1000);
    EXPECT_TRUE(TakeGatherTurn(start + 1000, next, gathered));
    EXPECT_EQ(next, start + 2000);
  }
}

// A schedule further ahead than one second comes only from a tick count that
// moved on by weeks without a tick; it gathers at once instead of waiting.
TEST(TickTest, ScheduleFarAheadGathersAtOnce) {
  uint32_t next = 0x100;
  bool gathered = true;
  EXPECT_TRUE(TakeGatherTurn(0xF0000000u, next, gathered));
  EXPECT_EQ(next, 0xF0000000u + 1000);
}

// A capture shows on every tick up to its deadline, ends on the first tick
// after it, and does not come back when the tick count reaches the deadline
// again.
TEST(TickTest, CaptureShowsUntilItsDeadlineAcrossTheWrap) {
  for (uint32_t start : {5000u, 0xFFFFF000u, 0xFFFFFD00u, 0xFFFFFFFFu}) {
    std::string path = "C:\\Pictures\\a.bmp";
    const uint32_t deadline = start + kCaptureShowTime;
    std::vector<int> shown;
    for (int tick = 0; tick < 8; ++tick)
      if (CaptureShowing(path, deadline, start + 250u * tick)) shown.push_back(tick);
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4})) << "start " << std::hex << start;
    EXPECT_TRUE(path.empty());
    EXPECT_FALSE(CaptureShowing(path, deadline, start + 500));
  }
  // A capture taken before the wrap is over after it.
  std::string path = "a.bmp";
  EXPECT_FALSE(CaptureShowing(path, 0xFFFFF100u, 0x100u));
  // No capture was ever started: nothing shows at any tick.
  std::string none;
  for (uint32_t now : {0u, 500u, 0xFFFFFC18u, 0xFFFFFFFFu}) EXPECT_FALSE(CaptureShowing(none, 0, now)) << now;
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
