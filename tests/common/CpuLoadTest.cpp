#include "common/CpuLoad.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A system information query the tests drive: a clock, idle times per
// processor, the processors the "system" has, and statuses to fail with.
struct tFakeSystem {
  int64_t Now = 0;
  std::vector<int64_t> Idle;
  int32_t ClockStatus = 0;
  int32_t LoadStatus = 0;
  uint32_t LastLength = 0;
};
tFakeSystem gSystem;

int32_t KES_STDCALL FakeQuery(uint32_t infoClass, void* buffer, uint32_t length, uint32_t* returned) {
  if (returned != nullptr) return -1;  // the meter asks for no return length
  auto put = [](uint8_t* at, int64_t value) { std::memcpy(at, &value, 8); };
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  if (infoClass == kSystemTimeOfDayInformation) {
    if (gSystem.ClockStatus != 0) return gSystem.ClockStatus;
    if (length < 16) return -2;
    put(bytes, 1);  // boot time
    put(bytes + 8, gSystem.Now);
    return 0;
  }
  if (infoClass == kSystemProcessorPerformanceInformation) {
    gSystem.LastLength = length;
    if (gSystem.LoadStatus != 0) return gSystem.LoadStatus;
    if (length < gSystem.Idle.size() * kProcessorPerformanceRecordSize) return -3;  // too small
    for (size_t i = 0; i < gSystem.Idle.size(); ++i)
      put(bytes + i * kProcessorPerformanceRecordSize, gSystem.Idle[i]);
    return 0;
  }
  return -4;
}

class CpuLoad : public testing::Test {
 protected:
  void SetUp() override { gSystem = tFakeSystem{}; }
};

}  // namespace

TEST_F(CpuLoad, ReadsTheSystemClockOrFails) {
  double t = -1;
  gSystem.Now = 0x0000000180000000ll;  // low half above 2^31: taken unsigned
  EXPECT_TRUE(QuerySystemClockWith(&FakeQuery, t));
  EXPECT_EQ(t, 6442450944.0);
  gSystem.ClockStatus = -5;
  t = 7;
  EXPECT_FALSE(QuerySystemClockWith(&FakeQuery, t));
  EXPECT_EQ(t, 7);
  EXPECT_FALSE(QuerySystemClockWith(nullptr, t));
}

TEST_F(CpuLoad, GivesLoadFromIdleTimeAndClampsAtZero) {
  tLoadMeter meter(&FakeQuery);
  gSystem.Idle = {1000, 1000, 1000, 1000};
  gSystem.Now = 10'000'000;
  double usage[4] = {-1, -1, -1, -1};
  EXPECT_TRUE(meter.GetCpuUsage(4, usage));  // first call: baseline only
  for (double u : usage) EXPECT_EQ(u, -1);
  EXPECT_EQ(gSystem.LastLength, 4 * kProcessorPerformanceRecordSize);

  gSystem.Now += 1'000'000;  // 100 ms
  gSystem.Idle = {1000 + 250'000, 1000 + 1'000'000, 1000, 1000 + 1'500'000};
  EXPECT_TRUE(meter.GetCpuUsage(4, usage));
  EXPECT_DOUBLE_EQ(usage[0], 75.0);
  EXPECT_DOUBLE_EQ(usage[1], 0.0);    // idle the whole interval
  EXPECT_DOUBLE_EQ(usage[2], 100.0);  // never idle
  EXPECT_DOUBLE_EQ(usage[3], 0.0);    // more idle than wall time: clamped
}

TEST_F(CpuLoad, FailingQueriesKeepValuesAndBaseline) {
  tLoadMeter meter(&FakeQuery);
  gSystem.Idle = {0, 0};
  gSystem.Now = 1'000'000;
  double usage[2] = {5, 5};
  ASSERT_TRUE(meter.GetCpuUsage(2, usage));

  gSystem.Now += 1'000'000;
  gSystem.Idle = {500'000, 500'000};
  gSystem.LoadStatus = -9;
  EXPECT_FALSE(meter.GetCpuUsage(2, usage));
  gSystem.LoadStatus = 0;
  gSystem.ClockStatus = -9;
  EXPECT_FALSE(meter.GetCpuUsage(2, usage));
  EXPECT_EQ(usage[0], 5);
  EXPECT_FALSE(meter.GetCpuUsage(0, usage));
  EXPECT_FALSE(tLoadMeter(nullptr).GetCpuUsage(2, usage));

  // The next good call measures from the last good one.
  gSystem.ClockStatus = 0;
  EXPECT_TRUE(meter.GetCpuUsage(2, usage));
  EXPECT_DOUBLE_EQ(usage[0], 50.0);
  EXPECT_DOUBLE_EQ(usage[1], 50.0);
}

TEST_F(CpuLoad, SameClockTickWritesNothing) {
  tLoadMeter meter(&FakeQuery);
  gSystem.Idle = {0};
  gSystem.Now = 1'000'000;
  double usage[1] = {33};
  ASSERT_TRUE(meter.GetCpuUsage(1, usage));
  gSystem.Idle = {10};
  EXPECT_TRUE(meter.GetCpuUsage(1, usage));  // no time passed: nothing to divide by
  EXPECT_EQ(usage[0], 33);
  gSystem.Now += 100;
  gSystem.Idle = {50};
  EXPECT_TRUE(meter.GetCpuUsage(1, usage));
  EXPECT_DOUBLE_EQ(usage[0], 50.0);  // measured from the first baseline
}

// The system time set back by an hour: that call records a new baseline and
// writes nothing; the next second measures from it.
TEST_F(CpuLoad, ClockSetBackStartsANewBaseline) {
  tLoadMeter meter(&FakeQuery);
  gSystem.Idle = {0, 0};
  gSystem.Now = 36'000'000'000;
  double usage[2] = {-1, -1};
  ASSERT_TRUE(meter.GetCpuUsage(2, usage));
  gSystem.Now -= 36'000'000'000 - 10'000'000;
  gSystem.Idle = {5'000'000, 2'000'000};
  EXPECT_TRUE(meter.GetCpuUsage(2, usage));
  EXPECT_EQ(usage[0], -1);
  EXPECT_EQ(usage[1], -1);
  gSystem.Now += 10'000'000;
  gSystem.Idle = {7'500'000, 12'000'000};
  EXPECT_TRUE(meter.GetCpuUsage(2, usage));
  EXPECT_DOUBLE_EQ(usage[0], 75.0);
  EXPECT_DOUBLE_EQ(usage[1], 0.0);
}

// The first gathering after a suspend (or the clock set forward): the idle
// time grew by the awake second only, over a wall interval that holds the
// sleep. Such an interval starts a new baseline; intervals up to the bound
// are measured.
TEST_F(CpuLoad, LongIntervalStartsANewBaseline) {
  struct tCase {
    int64_t Interval;  // 100-ns units
    bool Measured;
  };
  const int64_t second = 10'000'000;
  for (const tCase c : {tCase{second, true}, tCase{10 * second, true}, tCase{10 * second + 1, false},
                        tCase{3600 * second, false}}) {
    SCOPED_TRACE(c.Interval);
    tLoadMeter meter(&FakeQuery);
    gSystem.Idle = {0};
    gSystem.Now = 1'000 * second;
    double usage[1] = {-1};
    ASSERT_TRUE(meter.GetCpuUsage(1, usage));
    gSystem.Now += c.Interval;
    gSystem.Idle = {c.Interval / 4};  // idle a quarter of the interval
    EXPECT_TRUE(meter.GetCpuUsage(1, usage));
    if (c.Measured) {
      EXPECT_DOUBLE_EQ(usage[0], 75.0);
    } else {
      EXPECT_EQ(usage[0], -1);
    }
    // The next second is measured from the new (or the running) baseline.
    gSystem.Now += second;
    gSystem.Idle[0] += second / 2;
    EXPECT_TRUE(meter.GetCpuUsage(1, usage));
    EXPECT_DOUBLE_EQ(usage[0], 50.0);
  }
}

// More than 16 processors are measured: the buffer grows with the count.
TEST_F(CpuLoad, MeasuresMoreThanSixteenProcessors) {
  tLoadMeter meter(&FakeQuery);
  gSystem.Idle.assign(24, 0);
  gSystem.Now = 1'000'000;
  std::vector<double> usage(24, -1);
  ASSERT_TRUE(meter.GetCpuUsage(24, usage.data()));
  gSystem.Now += 1000;
  for (size_t i = 0; i < 24; ++i) gSystem.Idle[i] = static_cast<int64_t>(i * 10);
  ASSERT_TRUE(meter.GetCpuUsage(24, usage.data()));
  EXPECT_DOUBLE_EQ(usage[23], 100.0 - 230 / 10.0);
  EXPECT_EQ(gSystem.LastLength, 24 * kProcessorPerformanceRecordSize);
}
