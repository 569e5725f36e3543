#pragma once
// Per-processor load from the system's processor performance information
// (idle time per processor against the system time of day), over a query
// function with the shape of NtQuerySystemInformation so that a fake can
// stand in for the system in tests.

#include "common/DriverApi.h"

#include <cstdint>
#include <vector>

// status (0 = success) = query(class, buffer, length, returnLength or null)
typedef int32_t(KES_STDCALL* tSystemInfoQuery)(uint32_t infoClass, void* buffer, uint32_t length,
                                               uint32_t* returnLength);

constexpr uint32_t kSystemTimeOfDayInformation = 3;
constexpr uint32_t kSystemProcessorPerformanceInformation = 8;
constexpr uint32_t kTimeOfDayBufferSize = 32;
constexpr uint32_t kProcessorPerformanceRecordSize = 48;  // idle, kernel, user, DPC, interrupt, count

// The longest interval, in 100-ns units, that the load is measured over.
// Both programs ask once a second; a longer gap means the machine slept or
// the clock was set forward, and dividing the idle time of the awake part
// by it would show every processor near 100 %. Ten seconds leaves room for
// a caller that was held up (the applet runs at idle priority) and is still
// far below a suspend and resume, which take longer than that on their own.
constexpr double kLongestLoadInterval = 10 * 10'000'000.0;

// The current time of day in 100-ns units; false when query is null or fails.
bool QuerySystemClockWith(tSystemInfoQuery query, double& time);

class tLoadMeter {
 public:
  explicit tLoadMeter(tSystemInfoQuery query) : Query(query) {}

  // Writes the load in percent of processors 0..processorCount-1 into usage
  // (negative results become 0). The first successful call only records the
  // idle times, and so does a call whose clock lies before the recorded one
  // (the system time was set back) or more than kLongestLoadInterval after
  // it (a suspend, or the clock set forward). A failing query leaves usage and the
  // recorded state alone.
  bool GetCpuUsage(int32_t processorCount, double* usage);

 private:
  tSystemInfoQuery Query;
  double PrevSystemTime = 0.0;
  std::vector<double> PrevIdle;
  std::vector<uint8_t> Buffer;
};
