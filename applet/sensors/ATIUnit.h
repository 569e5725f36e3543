// tAtiGPU: readings of the ATI/AMD adapters, refreshed once a second.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "applet/sensors/AdlApi.h"

// The most adapters read, as many as the NVIDIA reader's handle table holds.
constexpr int32_t kAtiMaxAdapters = 64;

class tAtiGPU {
 public:
  // Loads "atiadlxx.dll", else "atiadlxy.dll", initialises the library and
  // reads the adapters (Windows builds only).
  tAtiGPU();
  // Reads the adapters through an initialised library's table; library keeps
  // the library loaded until after ADL_Main_Control_Destroy has been called.
  tAtiGPU(const TAdlApi& api, std::shared_ptr<void> library);
  virtual ~tAtiGPU();
  tAtiGPU(const tAtiGPU&) = delete;
  tAtiGPU& operator=(const tAtiGPU&) = delete;

  // Refreshes every active adapter; a failing query keeps its values.
  void Update();

  // Values of adapter i from the last Update; 0 for an index outside the
  // adapters.
  int32_t GetCoreClock(uint32_t i) const { return Get(i, &TState::coreClock); }
  int32_t GetMemClock(uint32_t i) const { return Get(i, &TState::memClock); }
  int32_t GetUsage(uint32_t i) const { return Get(i, &TState::usage); }
  int32_t GetFanSpeed(uint32_t i) const { return Get(i, &TState::fanSpeed); }
  int32_t GetTemperature(uint32_t i) const { return Get(i, &TState::temperature); }

  // The adapters read, at most kAtiMaxAdapters of those the library
  // counts; 0 without a library, -1 when the count function is missing, or
  // the count call's non-zero status.
  int32_t AdapterCount = 0;

 private:
  struct TState {
    int32_t active, percentReadable, usage, fanSpeed, coreClock, memClock, temperature;
  };
  int32_t Get(uint32_t i, int32_t TState::*field) const {
    return i < states_.size() ? states_[i].*field : 0;
  }
  void Init();

  TAdlApi api_{};
  std::shared_ptr<void> library_;  // released after the destructor's body
  std::vector<TAdlAdapterInfo> info_;
  std::vector<TState> states_;
};

// Rounds numerator / denominator (denominator > 0) to the nearest integer,
// halves away from zero.
inline int32_t AdlRoundDiv(int32_t numerator, int32_t denominator) {
  const int64_t n = numerator, d = denominator;
  return static_cast<int32_t>(n >= 0 ? (n + d / 2) / d : -((-n + d / 2) / d));
}
