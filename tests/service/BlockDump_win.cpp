// blockdump: prints the published shared hardware block as a reader sees it.
// One "Name=value" line per field of the raw record, then the reader's view
// ("Accepted", "ServiceText", the clocks a reader takes). Exit code 0 when a
// section was found, 2 when there is none. With "--hold" it only waits;
// with "--wait N" it first waits up to N seconds for an accepted block.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "service/HardwareBlockReader_win.h"

namespace {

void PrintSlots(const char* name, const double* slots) {
  std::printf("%s=", name);
  for (int i = 0; i < kHardwareBlockSlots; ++i) std::printf(i ? ",%.6f" : "%.6f", slots[i]);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  // "--hold": keeps a program of the session running, so that Wine keeps its
  // services running between the scenario's commands.
  if (argc > 1 && std::strcmp(argv[1], "--hold") == 0) {
    for (;;) Sleep(60000);
  }
  // "--wait SECONDS": polls every 50 ms until the reader accepts the block, so
  // that the first published record can be seen.
  if (argc > 2 && std::strcmp(argv[1], "--wait") == 0) {
    const DWORD limit = static_cast<DWORD>(std::atoi(argv[2])) * 1000;
    const DWORD start = GetTickCount();
    tBlockReading probe;
    while (!ReadPublishedBlock(probe) && GetTickCount() - start < limit) Sleep(50);
  }
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  std::printf("SystemProcessors=%u\n", static_cast<unsigned>(info.dwNumberOfProcessors));
  tHardwareBlock raw;
  size_t length = 0;
  if (!CopyPublishedBlock(raw, length)) {
    std::printf("Section=none\nServiceText=Service not found\n");
    return 2;
  }
  double temperatures[kHardwareBlockSlots];
  double loads[kHardwareBlockSlots];
  std::memcpy(temperatures, raw.Temperatures, sizeof temperatures);
  std::memcpy(loads, raw.Loads, sizeof loads);
  std::printf("Section=found\nViewBytes=%u\n", static_cast<unsigned>(length));
  std::printf("RecordSize=%u\nVersionMS=0x%08X\nVersionLS=0x%08X\nSignature=0x%X\n",
              static_cast<unsigned>(raw.RecordSize), static_cast<unsigned>(raw.VersionMS),
              static_cast<unsigned>(raw.VersionLS), static_cast<unsigned>(raw.Signature));
  std::printf("ProcessorCount=%d\nTjMax=%d\nTscClock=%.6f\nCpuClock=%.6f\n",
              static_cast<int>(raw.ProcessorCount), static_cast<int>(raw.TjMax),
              static_cast<double>(raw.TscClock), static_cast<double>(raw.CpuClock));
  PrintSlots("Temperatures", temperatures);
  PrintSlots("Loads", loads);
  std::printf("Generation=%u\nMultiplierClock=%.6f\nBusClock=%.6f\n",
              static_cast<unsigned>(raw.Generation), static_cast<double>(raw.MultiplierClock),
              static_cast<double>(raw.BusClock));

  tBlockReading reading;
  const bool accepted = ReadHardwareBlock(&raw, length, reading);
  std::printf("Accepted=%d\n", accepted ? 1 : 0);
  if (accepted) {
    std::printf("ServiceText=%s\n", FormatServiceVersion(reading.VersionMS, reading.VersionLS).c_str());
    std::printf("ReaderMultiplierClock=%.6f\nReaderBusClock=%s\n", reading.MultiplierClock,
                reading.HasBusClock ? std::to_string(reading.BusClock).c_str() : "none");
  } else {
    std::printf("ServiceText=Service not found\n");
  }
  return 0;
}
