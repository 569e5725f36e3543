// The service's worker and the console diagnostics: two loops over the one
// CPU sampler.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "common/CPUUnit_win.h"
#include "service/ServiceMessages.h"
#include "service/ServiceState_win.h"
#include "service/SharedSection_win.h"
#include "service/Support_win.h"

std::string DriverPath;
std::string LogFileName;
std::atomic<bool> StopRequested{false};
std::atomic<bool> PauseRequested{false};
tHardwareBlock LocalBlock;

namespace {

std::unique_ptr<tCPUThread> Sampler;

// Stops the sampler's thread and destroys it, in that order.
void StopSampler() {
  if (!Sampler) return;
  Sampler->Terminate();
  Sampler.reset();
}

void DebugLine(const char* line) { LogMessage(line); }

// One second's copy of the sampler's readings into the local record.
void FillLocalBlock(std::vector<double>& loads) {
  const tCPUThread& s = *Sampler;
  // GetCpuUsage writes one entry per logical processor, which may be more
  // than the record's 16 slots; only the first 16 are copied.
  if (GetCpuUsage(loads.data())) StoreBlockLoads(LocalBlock, loads.data(), static_cast<int>(loads.size()));

  double temperatures[kHardwareBlockSlots] = {};
  const int slots = std::min<int>(s.ProcessorCount, kHardwareBlockSlots);
  for (int i = 0; i < slots; ++i) temperatures[i] = s.GetTemperature(static_cast<uint32_t>(i));

  tBlockReadings r;
  r.TjMax = s.TjMax;
  r.TscClock = s.TscClock;
  r.CpuClock = s.CpuClock;
  r.Multiplier = s.Multiplier;
  r.BusClock = s.BusClock;
  r.Generation = s.GetGeneration();
  r.ProcessorCount = slots;
  r.Temperatures = temperatures;
  UpdateHardwareBlock(LocalBlock, r);
}

}  // namespace

void ServiceWorker() {
  tSharedSection section;
  FindDriverLibrary();
  if (!FileExists(DriverPath)) {
    LogMessage(FormatText("File not found %s!", DriverPath.c_str()).c_str());
  } else {
    uint32_t most = 0;
    uint32_t least = 0;
    ReadOwnVersion(most, least);
    PrepareHardwareBlock(LocalBlock, most, least);
    LogMessage(VersionLine(most, least).c_str());

    if (!section.Create()) {
      LogMessage("Failed to initialize Shared Memory!");
    } else if (section.Clear()) {
      Sampler = std::make_unique<tCPUThread>(DriverPath.c_str(), nullptr);
      SleepMs(3000);
      const tCPUThread& s = *Sampler;
      SetBlockIdentity(LocalBlock, s.Signature, s.ProcessorCount);
      LogMessage(ModelLine(s.GetModelName(), s.ProcessorCount).c_str());
      if (IsMultiplierGeneration(s.GetGeneration())) {
        if (s.IdaEnabled) LogMessage("Intel Dynamic Acceleration technology (IDA) found");
        LogMessage(FrequencyDetailLine(s.TscClock, s.BaseMultiplier, s.BusClock).c_str());
        LogMessage(TjMaxLine(s.TjMax).c_str());
      } else {
        LogMessage(FormatText("Frequency: %d Mhz", RoundHalfEven(s.TscClock)).c_str());
      }

      std::vector<double> loads(static_cast<size_t>(std::max<int32_t>(GetProcessorCount(), 0)), 0.0);
      for (;;) {
        if (!PauseRequested) {
          FillLocalBlock(loads);
          // A second whose view cannot be mapped is skipped.
          section.Publish(LocalBlock);
        }
        SleepMs(1000);
        if (StopRequested) break;
      }
    }
  }
  StopSampler();
  section = tSharedSection();
  LogMessage("Leaving Service");
}

void ConsoleDiagnostics() {
  FindDriverLibrary();
  if (!FileExists(DriverPath)) {
    LogMessage(FormatText("File not found %s!", DriverPath.c_str()).c_str());
    return;
  }
  uint32_t most = 0;
  uint32_t least = 0;
  ReadOwnVersion(most, least);
  WriteConsoleLine(VersionLine(most, least));

  Sampler = std::make_unique<tCPUThread>(DriverPath.c_str(), DebugLine);
  SleepMs(1500);
  tCPUThread& s = *Sampler;
  WriteConsoleLine(ModelLine(s.GetModelName(), s.ProcessorCount));
  const bool multiplierClock = IsMultiplierGeneration(s.GetGeneration());
  if (multiplierClock) {
    if (s.IdaEnabled) WriteConsoleLine("Intel Dynamic Acceleration technology (IDA) found");
    WriteConsoleLine(FrequencyDetailLine(s.TscClock, s.BaseMultiplier, s.BusClock));
    WriteConsoleLine(AnsiToOem(TjMaxLine(s.TjMax)) + "\n\r");
  } else {
    WriteConsoleLine(FormatText("Frequency: %.6f Mhz", static_cast<double>(s.TscClock)) + "\n\r");
  }

  for (;;) {
    if (multiplierClock) {
      LogMessage(ClockDetailLine(s.CpuClock, s.Multiplier, s.BusClock).c_str());
    } else {
      LogMessage(FormatText("%.6f Mhz", static_cast<double>(s.CpuClock)).c_str());
    }
    s.DebugOutput = true;
    if (WaitOrEscape(1000) || StopRequested) break;
  }
  StopSampler();
}
