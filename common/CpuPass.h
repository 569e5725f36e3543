#pragma once
// The measuring half of the CPU sampling engine, free of the platform: the
// public values, the start-up register reads and one sampling pass, all driven
// through a register table (RegisterAccess.h) that a driver back end fills;
// the overloads taking the driver library's table (DriverApi.h) serve it
// through its own back end. tCPUThread (CPUUnit_win.h) adds the library
// binding and the thread that runs a pass once per second.
//
// One routine per register set: the Intel step (generations 1 to 11 and 13),
// the step of the older AMD families (12) and the Zen step (14).
//
// Threads: Identify, ReadStartupRegisters and the constructor run before the
// sampling thread starts; RunPass runs on the sampling thread only. The values
// owners read while passes run are atomics, so any thread may read them at any
// time; a reader may see values of two consecutive passes.

#include "common/CpuIdent.h"
#include "common/DriverApi.h"
#include "common/RegisterAccess.h"

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
  const char* ModelRowName = nullptr;  // the model row's name; null: the generation's
  uint8_t ReadoutMask = 0x7F;          // Intel: digital readout of 0x19C bits 16 and up
  bool PerProcessorTarget = false;     // Intel hybrid: 0x1A2 read on every processor
  uint16_t CcdOffset = 0;              // Zen: first per-CCD register after SMN 0x59800
  uint8_t CcdCount = 0;                // Zen: CCDs the model may have
  char Brand[49] = {};                 // CPUID 0x80000002..4 (Zen), read at start
  double TemperatureOffset = 0.0;      // Zen: control minus die temperature, by brand
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

  // Identifies the processor and keeps the result.
  void Identify(const tRegisterAccess& access);
  void Identify(const tDriverApi& driver);
  // Reads the registers that fix the clock model (Intel: on processor 0, the
  // target on every processor of a hybrid part), or the brand string and
  // each processor's CCD (Zen).
  void ReadStartupRegisters(const tRegisterAccess& access);
  void ReadStartupRegisters(const tDriverApi& driver);
  // One sampling pass: TSC clock against the performance counter, then the
  // temperatures and ratios of every processor and the derived clocks.
  void RunPass(const tRegisterAccess& access, tCounterReader readCounter);
  void RunPass(const tDriverApi& driver, tCounterReader readCounter);

  // Temperature slot of a Zen processor: the CCD it belongs to (-1: none known).
  int GetCcd(int32_t processor) const;

 private:
  void EnableFixedCounters(const tRegisterAccess& access);
  void IntelStep(const tRegisterAccess& access);
  void AmdStep(const tRegisterAccess& access);
  void AmdK8Sensor(const tRegisterAccess& access, int core, int entry);
  void ZenStep(const tRegisterAccess& access);
  void ZenTemperatures(const tRegisterAccess& access);
  void ZenClock(const tRegisterAccess& access);
  void Debug(const char* format, ...) const;
  // Processors reachable by a single-bit affinity mask.
  int32_t MaskedProcessorCount() const;

  std::unique_ptr<std::atomic<double>[]> Temperatures;
  // Sampling thread only: last fixed-counter readings per processor and the
  // previous performance-counter and time-stamp-counter readings.
  std::vector<uint64_t> PrevCoreCycles;
  std::vector<uint64_t> PrevRefCycles;
  // Per processor: the target read on it (hybrid Intel), whether the fixed
  // counters cannot be set up there (the effective ratio then comes from
  // APERF/MPERF), and the CCD of a Zen processor.
  std::vector<double> Targets;
  std::vector<uint8_t> UsesPerfCounters;
  std::vector<int8_t> Ccds;
  int64_t PrevCounter = 0;
  uint64_t PrevTsc = 0;
};
