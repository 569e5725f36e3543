#pragma once
// The measuring half of the CPU sampling engine, free of the platform: the
// public values, the start-up register reads and one sampling pass, all driven
// through a driver table (DriverApi.h). tCPUThread (CPUUnit_win.h) adds the
// library binding and the thread that runs a pass once per second.
//
// Threads: Identify, ReadStartupRegisters and the constructor run before the
// sampling thread starts; RunPass runs on the sampling thread only. The values
// owners read while passes run are atomics, so any thread may read them at any
// time; a reader may see values of two consecutive passes.

#include "common/CpuIdent.h"
#include "common/DriverApi.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Receives one diagnostic line (no line end), on the sampling thread.
typedef void (*tDebugCallback)(const char* line);

// Reads the performance counter with the calling thread pinned to logical
// processor 0; returns false when the reading could not be taken.
typedef bool (*tCounterReader)(int64_t* counter);

class tCpuSampler {
 public:
  explicit tCpuSampler(int32_t processorCount, tDebugCallback callback = nullptr);
  tCpuSampler(const tCpuSampler&) = delete;
  tCpuSampler& operator=(const tCpuSampler&) = delete;

  // Entry index of the per-processor temperatures; 0.0 outside 0..ProcessorCount-1.
  double GetTemperature(uint32_t index) const;
  uint8_t GetGeneration() const { return Generation; }
  // The naming texts of the identification, e.g. "Haswell (Family 6 Model 3C Stepping 3)".
  std::string GetCpuIdText() const;
  std::string GetModelName() const;

  // Identification; fixed before the sampling thread starts.
  char Vendor[13] = {};
  uint32_t Signature = 0;
  uint8_t Family = 0;
  uint8_t Model = 0;
  uint8_t Stepping = 0;
  uint8_t Generation = kGenUnsupported;
  uint32_t ThermalDevice = 0;
  const int32_t ProcessorCount;
  int64_t PerformanceFrequency = 0;  // counts per second

  // Measured values: clocks in MHz, temperatures in degrees Celsius.
  std::atomic<double> TjMax{0.0};
  std::atomic<double> Multiplier{0.0};
  std::atomic<double> BaseMultiplier{0.0};
  std::atomic<double> BusClock{0.0};  // TscClock / BaseMultiplier as measured
  std::atomic<double> TscClock{0.0};
  std::atomic<double> CpuClock{0.0};
  std::atomic<bool> IdaEnabled{false};  // turbo on: fixed counters give the effective ratio

  // Set by the owner to have passes send diagnostic lines to DebugCallback.
  std::atomic<bool> DebugOutput{false};
  tDebugCallback DebugCallback = nullptr;
  // Decimal separator of the diagnostic lines (the user's regional setting).
  char DecimalSeparator = '.';

  // Identifies the processor through the driver and keeps the result.
  void Identify(const tDriverApi& driver);
  // Reads the registers that fix the clock model (Intel), on processor 0.
  void ReadStartupRegisters(const tDriverApi& driver);
  // One sampling pass: TSC clock against the performance counter, then the
  // temperatures and ratios of every processor and the derived clocks.
  void RunPass(const tDriverApi& driver, tCounterReader readCounter);

 private:
  void EnableFixedCounters(const tDriverApi& driver);
  void IntelStep(const tDriverApi& driver);
  void AmdStep(const tDriverApi& driver);
  void AmdK8Sensor(const tDriverApi& driver, uint32_t select, int entry);
  void Debug(const char* format, ...) const;
  // Processors reachable by a single-bit affinity mask.
  int32_t MaskedProcessorCount() const;

  std::unique_ptr<std::atomic<double>[]> Temperatures;
  // Sampling thread only: last fixed-counter readings per processor and the
  // previous performance-counter and time-stamp-counter readings.
  std::vector<uint64_t> PrevCoreCycles;
  std::vector<uint64_t> PrevRefCycles;
  int64_t PrevCounter = 0;
  uint64_t PrevTsc = 0;
};
