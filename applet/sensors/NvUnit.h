// tNvGPU: readings of the NVIDIA adapters, refreshed once a second.
#pragma once
#include <cstdint>
#include <vector>

#include "applet/sensors/NvApi.h"

// Loads and initialises "nvapi.dll" once per process (Windows builds): 0 on
// success or when already loaded, 254 when the library cannot be loaded, -1
// when its query function or initialisation is missing or fails.
int32_t LoadNvApi();
// The process-wide table that LoadNvApi filled.
const TNvApiTable& NvApi();

class tNvGPU {
 public:
  // Loads the interface (LoadNvApi) and enumerates the physical GPUs
  // (Windows builds only).
  tNvGPU();
  // Enumerates through an already resolved table; null means no interface.
  explicit tNvGPU(const TNvApiTable* api);
  virtual ~tNvGPU() = default;

  // Refreshes every adapter; a failing query keeps the values it feeds.
  void Update();

  // Values of adapter i from the last Update; 0 for an index past the end.
  uint32_t GetFanRPM(uint32_t i) const { return Get(i, &TRecord::fanRpm); }
  uint32_t GetFanSpeed(uint32_t i) const { return Get(i, &TRecord::fanSpeed); }
  int32_t GetTemperature(uint32_t i) const { return static_cast<int32_t>(Get(i, &TRecord::temperature)); }
  uint32_t GetUsage(uint32_t i) const { return Get(i, &TRecord::usage); }
  uint32_t GetVRamUsage(uint32_t i) const { return Get(i, &TRecord::vramUsage); }
  uint32_t GetCoreClock(uint32_t i) const { return Get(i, &TRecord::coreClock); }
  uint32_t GetMemClock(uint32_t i) const { return Get(i, &TRecord::memClock); }

  uint32_t AdapterCount = 0;

 private:
  struct TRecord {
    uint32_t fanSpeed, fanRpm, temperature, usage, vramUsage, coreClock, memClock;
  };
  uint32_t Get(uint32_t i, uint32_t TRecord::*field) const { return i < AdapterCount ? records_[i].*field : 0; }
  void UpdateAdapter(TNvGpuHandle gpu, TRecord& r);

  const TNvApiTable* api_ = nullptr;
  TNvGpuHandle handles_[kNvMaxPhysicalGpus] = {};
  std::vector<TRecord> records_;
};

// Rounds numerator / denominator to the nearest integer, halves away from 0.
inline uint32_t NvRoundDiv(uint32_t numerator, uint32_t denominator) {
  return static_cast<uint32_t>((static_cast<uint64_t>(numerator) + denominator / 2) / denominator);
}
