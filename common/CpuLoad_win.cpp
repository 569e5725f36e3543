#include "common/CPUUnit_win.h"
#include "common/CpuLoad.h"

namespace {

// NtQuerySystemInformation from the already loaded ntdll; null when missing.
tSystemInfoQuery SystemInfoQuery() {
  static const tSystemInfoQuery query = [] {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll == nullptr) return tSystemInfoQuery(nullptr);
    return reinterpret_cast<tSystemInfoQuery>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
  }();
  return query;
}

}  // namespace

bool QuerySystemClock(double& time) { return QuerySystemClockWith(SystemInfoQuery(), time); }

bool GetCpuUsage(double* usage) {
  // One meter per process: its idle times are the baseline of the next call.
  static tLoadMeter meter(SystemInfoQuery());
  return meter.GetCpuUsage(GetProcessorCount(), usage);
}
