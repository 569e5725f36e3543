// The load functions against the system's own NtQuerySystemInformation.
#include "common/CPUUnit_win.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(CpuLoadWine, FirstCallRecordsLaterCallsMeasure) {
  const int32_t n = GetProcessorCount();
  ASSERT_GT(n, 0);
  std::vector<double> usage(n, -1.0);
  ASSERT_TRUE(GetCpuUsage(usage.data()));
  for (double u : usage) EXPECT_EQ(u, -1.0);  // first call writes nothing

  // Keep one processor busy for a while so that time passes on the clock.
  const DWORD start = GetTickCount();
  volatile double sink = 0;
  while (GetTickCount() - start < 300) sink = sink + std::sqrt(sink + 2.0);
  ASSERT_TRUE(GetCpuUsage(usage.data()));
  for (double u : usage) {
    EXPECT_GE(u, 0.0);
    EXPECT_TRUE(std::isfinite(u));
  }
}

TEST(CpuLoadWine, SystemClockAdvancesInHundredNanoseconds) {
  double first = 0, second = 0;
  ASSERT_TRUE(QuerySystemClock(first));
  Sleep(100);
  ASSERT_TRUE(QuerySystemClock(second));
  EXPECT_GT(first, 1.2e17);  // after the year 1981, counted from 1601
  EXPECT_GT(second - first, 0.5e6);
  EXPECT_LT(second - first, 100e6);
}
