#include "applet/sensors/NetMeter_win.h"

#include "applet/sensors/NetRates.h"

#include <cstring>
#include <memory>

static_assert(sizeof(MIB_IFROW) == 860, "interface rows are 860 bytes");

uint32_t NetworkIndex = 0;

namespace {

TNetRateMeter g_meter;

bool ReadSystemTime(double& now) {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  now = static_cast<double>(ft.dwHighDateTime) * 4294967296.0 + static_cast<double>(ft.dwLowDateTime);
  return true;
}

TSystemClockFn g_clock = &ReadSystemTime;

bool QueryClock(double& now) { return g_clock && g_clock(now); }

bool ReadIfCounters(uint32_t ifIndex, TIfCounters& counters) {
  MIB_IFROW row;
  std::memset(&row, 0, sizeof(row));
  row.dwIndex = ifIndex;
  if (GetIfEntry(&row) != NO_ERROR) return false;
  counters.inOctets = row.dwInOctets;
  counters.outOctets = row.dwOutOctets;
  return true;
}

}  // namespace

uint32_t GetMemoryLoad() {
  MEMORYSTATUSEX status;
  std::memset(&status, 0, sizeof(status));
  status.dwLength = sizeof(status);
  GlobalMemoryStatusEx(&status);
  return status.dwMemoryLoad;
}

void GetInterfaceTable(TMIBIfArray& table) {
  table.clear();
  ULONG size = 0;
  if (GetIfTable(nullptr, &size, FALSE) != ERROR_INSUFFICIENT_BUFFER || size < sizeof(DWORD)) return;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]());
  auto* ifTable = reinterpret_cast<MIB_IFTABLE*>(buffer.get());
  if (GetIfTable(ifTable, &size, FALSE) != NO_ERROR) return;
  // Never read past the buffer, whatever count the table claims.
  const size_t fits = (size - offsetof(MIB_IFTABLE, table)) / sizeof(MIB_IFROW);
  const size_t count = ifTable->dwNumEntries < fits ? ifTable->dwNumEntries : fits;
  table.assign(ifTable->table, ifTable->table + count);
}

void GetNetworkRates(double& down, double& up) {
  const TNetSources sources{&QueryClock, &ReadIfCounters};
  g_meter.Measure(sources, NetworkIndex, down, up);
}

void SelectNetworkInterface(uint32_t ifIndex) {
  NetworkIndex = ifIndex;
  g_meter.ResetCounters();
}

void ResetNetworkCounters() { g_meter.ResetCounters(); }

void SetNetworkClock(TSystemClockFn clock) { g_clock = clock; }
