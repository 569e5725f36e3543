#include "common/CPUUnit_win.h"
#include "common/CpuLoad.h"
#include "common/ProcAddress_win.h"

namespace {

// NtQuerySystemInformation from the already loaded ntdll; null when missing.
tSystemInfoQuery SystemInfoQuery() {
  static const tSystemInfoQuery query = [] {
    tSystemInfoQuery found = nullptr;
    if (HMODULE ntdll = GetModuleHandleA("ntdll.dll")) ResolveProc(ntdll, "NtQuerySystemInformation", found);
    return found;
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
