#include "common/CpuLoad.h"

#include <cstring>

namespace {

// A LARGE_INTEGER of the buffer as high x 2^32 + low, low unsigned.
double ReadLargeInteger(const uint8_t* at) {
  uint32_t low;
  int32_t high;
  std::memcpy(&low, at, sizeof low);
  std::memcpy(&high, at + 4, sizeof high);
  return high * 4294967296.0 + low;
}

}  // namespace

bool QuerySystemClockWith(tSystemInfoQuery query, double& time) {
  if (query == nullptr) return false;
  uint8_t buffer[kTimeOfDayBufferSize] = {};
  if (query(kSystemTimeOfDayInformation, buffer, sizeof buffer, nullptr) != 0) return false;
  time = ReadLargeInteger(buffer + 8);  // current time follows the boot time
  return true;
}

bool tLoadMeter::GetCpuUsage(int32_t processorCount, double* usage) {
  if (processorCount <= 0 || Query == nullptr) return false;
  const size_t n = static_cast<size_t>(processorCount);
  // Sized by the processor count, so machines with many processors are measured.
  Buffer.assign(n * kProcessorPerformanceRecordSize, 0);
  if (Query(kSystemProcessorPerformanceInformation, Buffer.data(),
            static_cast<uint32_t>(Buffer.size()), nullptr) != 0)
    return false;
  double now;
  if (!QuerySystemClockWith(Query, now)) return false;
  if (PrevIdle.size() != n) PrevIdle.assign(n, 0.0);
  // Two calls within one tick of the system clock have no interval to divide
  // by: keep the earlier baseline and write nothing.
  if (PrevSystemTime != 0.0 && now == PrevSystemTime) return true;
  // A clock set back has no interval either, but its baseline would hold
  // every load until the clock caught up: start a new baseline instead. So
  // does an interval that spans a sleep or a clock set forward.
  const double interval = now - PrevSystemTime;
  const bool measure = PrevSystemTime != 0.0 && interval > 0.0 && interval <= kLongestLoadInterval;

  for (size_t i = 0; i < n; ++i) {
    const double idle = ReadLargeInteger(&Buffer[i * kProcessorPerformanceRecordSize]);
    if (measure) {
      double load = 100.0 - (idle - PrevIdle[i]) / interval * 100.0;
      usage[i] = load < 0.0 ? 0.0 : load;
    }
    PrevIdle[i] = idle;
  }
  PrevSystemTime = now;
  return true;
}
