#include "applet/sensors/ATIUnit.h"

#include <cstdlib>
#include <utility>

void* KES_ADL_CALLBACK AdlAlloc(int32_t size) {
  if (size < 0) return nullptr;
  return std::calloc(size > 0 ? static_cast<size_t>(size) : 1, 1);
}

tAtiGPU::tAtiGPU(const TAdlApi& api, std::shared_ptr<void> library) : api_(api), library_(std::move(library)) {
  Init();
}

void tAtiGPU::Init() {
  if (!api_.NumberOfAdapters) {
    AdapterCount = -1;
    return;
  }
  int32_t count = 0;
  const int32_t status = api_.NumberOfAdapters(&count);
  AdapterCount = status != 0 ? status : count;
  if (AdapterCount <= 0) return;
  // A machine has a handful of adapters; a library reporting more is read
  // for the first kAtiMaxAdapters only, so that it can neither exhaust
  // memory nor stall the start. AdapterCount is what was allocated, and the
  // layout's groups and the tick are sized by it.
  if (AdapterCount > kAtiMaxAdapters) AdapterCount = kAtiMaxAdapters;
  states_.assign(static_cast<size_t>(AdapterCount), TState{});
  info_.assign(static_cast<size_t>(AdapterCount), TAdlAdapterInfo{});
  for (TAdlAdapterInfo& rec : info_) rec.size = sizeof(TAdlAdapterInfo);
  if (!api_.AdapterInfo ||
      api_.AdapterInfo(info_.data(), AdapterCount * static_cast<int32_t>(sizeof(TAdlAdapterInfo))) != 0)
    return;
  for (size_t i = 0; i < states_.size(); ++i) {
    const int32_t index = info_[i].adapterIndex;
    int32_t active = 0;
    if (!api_.AdapterActive || api_.AdapterActive(index, &active) != 0) continue;
    states_[i].active = active;
    TAdlFanSpeedInfo fan{};
    fan.size = sizeof(fan);
    if (api_.FanSpeedInfo && api_.FanSpeedInfo(index, kAdlThermalController0, &fan) == 0)
      states_[i].percentReadable = fan.flags & kAdlFanReadsPercent;
  }
}

tAtiGPU::~tAtiGPU() {
  states_.clear();
  if (api_.MainControlDestroy) api_.MainControlDestroy();
}

void tAtiGPU::Update() {
  if (AdapterCount <= 0) return;
  for (size_t i = 0; i < states_.size() && i < info_.size(); ++i) {
    TState& s = states_[i];
    if (s.active != 1) continue;
    const int32_t index = info_[i].adapterIndex;
    if (s.percentReadable == 1 && api_.FanSpeed) {
      TAdlFanSpeedValue fan{};
      fan.size = sizeof(fan);
      fan.speedType = kAdlFanSpeedPercent;
      if (api_.FanSpeed(index, kAdlThermalController0, &fan) == 0) s.fanSpeed = fan.fanSpeed;
    }
    TAdlActivity activity{};
    activity.size = sizeof(activity);
    if (api_.CurrentActivity && api_.CurrentActivity(index, &activity) == 0) {
      s.usage = activity.activityPercent;
      s.coreClock = AdlRoundDiv(activity.engineClock, 100);
      s.memClock = AdlRoundDiv(activity.memoryClock, 100);
    }
    TAdlTemperature temperature{};
    temperature.size = sizeof(temperature);
    if (api_.Temperature && api_.Temperature(index, kAdlThermalController0, &temperature) == 0)
      s.temperature = AdlRoundDiv(temperature.temperature, 1000);
  }
}
