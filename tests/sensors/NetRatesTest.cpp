#include "applet/sensors/NetRates.h"

#include <gtest/gtest.h>

namespace {

// A fake clock and interface: the test sets what the next update reads.
struct TFake {
  bool clockOk = true;
  double now = 0.0;
  bool rowOk = true;
  uint32_t lastIndex = 0;
  int rowReads = 0;
  TIfCounters counters;
} g;

bool FakeClock(double& now) {
  now = g.now;
  return g.clockOk;
}

bool FakeRow(uint32_t index, TIfCounters& c) {
  ++g.rowReads;
  g.lastIndex = index;
  c = g.counters;
  return g.rowOk;
}

constexpr TNetSources kSources{&FakeClock, &FakeRow};
constexpr double kSecond = 10000000.0;

class NetRateMeterTest : public ::testing::Test {
 protected:
  void SetUp() override { g = TFake{}; }
  // Advances the fake clock by seconds, sets the counters and measures.
  void Step(double seconds, uint32_t in, uint32_t out) {
    g.now += seconds * kSecond;
    g.counters = {in, out};
    meter.Measure(kSources, 7, down, up);
  }
  TNetRateMeter meter;
  double down = -1.0, up = -1.0;
};

TEST(OctetRate, WrapsOnceAndRejectsNonsense) {
  struct Case {
    uint32_t now, prev;
    double seconds, rate;
  };
  const Case cases[] = {
      {0x00000100u, 0xFFFFFF00u, 1.0, 512.0},  // one wrap-around
      {3000, 1000, 2.0, 1000.0},
      {1000, 1000, 1.0, 0.0},
      {1000, 3000, 1.0, 0.0},  // counter went backwards: the interface was reset
      {3000, 1000, 0.0, 0.0},  // no time passed
      {3000, 1000, -1.0, 0.0},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(OctetRate(c.now, c.prev, c.seconds * kSecond), c.rate) << c.now << " " << c.prev;
}

TEST_F(NetRateMeterTest, RatesAppearFromTheThirdUpdate) {
  g.now = 5.0e15;
  Step(0, 1000, 2000);
  EXPECT_EQ(down, 0.0);
  EXPECT_EQ(up, 0.0);
  EXPECT_EQ(g.rowReads, 0);  // the first update only records the time
  EXPECT_EQ(meter.PrevNetTime, 5.0e15);

  Step(1, 1000, 2000);
  EXPECT_EQ(down, 0.0);
  EXPECT_EQ(up, 0.0);
  EXPECT_EQ(g.lastIndex, 7u);
  EXPECT_EQ(meter.PrevInOctets, 1000u);

  Step(2, 5000, 2600);
  EXPECT_DOUBLE_EQ(down, 2000.0);
  EXPECT_DOUBLE_EQ(up, 300.0);
}

TEST_F(NetRateMeterTest, WrappedInCounterGives512BytesPerSecond) {
  g.now = 1.0e15;
  Step(0, 0, 0);
  Step(1, 0xFFFFFF00u, 10);
  Step(1, 0x00000100u, 10);
  EXPECT_DOUBLE_EQ(down, 512.0);
  EXPECT_DOUBLE_EQ(up, 0.0);
}

TEST_F(NetRateMeterTest, ZeroCounterIsNeverABase) {
  g.now = 1.0e15;
  Step(0, 0, 0);
  Step(1, 0, 500);  // in-counter 0: no base for the down rate
  Step(1, 4000, 1500);
  EXPECT_EQ(down, 0.0);
  EXPECT_DOUBLE_EQ(up, 1000.0);
  Step(1, 6000, 1500);
  EXPECT_DOUBLE_EQ(down, 2000.0);
}

TEST_F(NetRateMeterTest, ResetShowsZeroOnceThenRealRates) {
  g.now = 1.0e15;
  Step(0, 100, 100);
  Step(1, 200, 200);
  Step(1, 1200, 700);
  ASSERT_DOUBLE_EQ(down, 1000.0);
  meter.ResetCounters();
  Step(1, 90000, 80000);  // another interface's counters
  EXPECT_EQ(down, 0.0);
  EXPECT_EQ(up, 0.0);
  Step(1, 91000, 80500);
  EXPECT_DOUBLE_EQ(down, 1000.0);
  EXPECT_DOUBLE_EQ(up, 500.0);
}

TEST_F(NetRateMeterTest, FailingRowKeepsCountersButAdvancesTime) {
  g.now = 1.0e15;
  Step(0, 100, 100);
  Step(1, 1100, 100);
  g.rowOk = false;
  Step(1, 999999, 999999);
  EXPECT_EQ(down, 0.0);
  EXPECT_EQ(meter.PrevInOctets, 1100u);
  EXPECT_EQ(meter.PrevNetTime, 1.0e15 + 2 * kSecond);
  g.rowOk = true;
  Step(1, 3100, 100);  // timed from the failed update
  EXPECT_DOUBLE_EQ(down, 2000.0);
}

TEST_F(NetRateMeterTest, FailingClockStoresNothing) {
  g.now = 1.0e15;
  Step(0, 100, 100);
  Step(1, 200, 200);
  g.clockOk = false;
  const int reads = g.rowReads;
  Step(1, 5000, 5000);
  EXPECT_EQ(down, 0.0);
  EXPECT_EQ(up, 0.0);
  EXPECT_EQ(g.rowReads, reads);
  EXPECT_EQ(meter.PrevNetTime, 1.0e15 + kSecond);
  EXPECT_EQ(meter.PrevInOctets, 200u);
}

}  // namespace
