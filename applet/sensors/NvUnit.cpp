#include "applet/sensors/NvUnit.h"

#include <cstring>

tNvGPU::tNvGPU(const TNvApiTable* api) : api_(api) {
  if (!api_ || !api_->EnumPhysicalGPUs) return;
  uint32_t count = 0;
  if (api_->EnumPhysicalGPUs(handles_, &count) != 0) return;
  if (count > kNvMaxPhysicalGpus) count = kNvMaxPhysicalGpus;
  AdapterCount = count;
  records_.assign(count, TRecord{});
}

void tNvGPU::Update() {
  for (uint32_t i = 0; i < AdapterCount; ++i) UpdateAdapter(handles_[i], records_[i]);
}

void tNvGPU::UpdateAdapter(TNvGpuHandle gpu, TRecord& r) {
  TNvThermalSettings thermal;
  std::memset(&thermal, 0, sizeof(thermal));
  thermal.version = kNvThermalSettingsVersion;
  if (api_->GetThermalSettings(gpu, kNvAllThermalSensors, &thermal) != 0) return;
  for (const TNvThermalSensor& s : thermal.sensor)
    if ((s.target & 0xFF) == 1) r.temperature = static_cast<uint32_t>(s.currentTemp);

  TNvCoolerSettings cooler;
  std::memset(&cooler, 0, sizeof(cooler));
  cooler.version = kNvCoolerSettingsVersion;
  if (api_->GetCoolerSettings(gpu, 0, &cooler) == 0 && cooler.count > 0) r.fanSpeed = cooler.cooler[0].currentLevel;

  TNvUsages usages;
  std::memset(&usages, 0, sizeof(usages));
  usages.version = kNvUsagesVersion;
  if (api_->GetUsages(gpu, &usages) == 0) {
    r.usage = usages.usage[kNvUsageGpu];
    r.vramUsage = usages.usage[kNvUsageMemory];
  }

  TNvAllClocks clocks;
  std::memset(&clocks, 0, sizeof(clocks));
  clocks.version = kNvAllClocksVersion;
  if (api_->GetAllClocks(gpu, &clocks) == 0) {
    // kHz to MHz; the alternative core word counts in units of 0.5 kHz.
    r.coreClock = NvRoundDiv(clocks.clock[kNvClockCore], 1000);
    r.memClock = NvRoundDiv(clocks.clock[kNvClockMemory], 1000);
    if (clocks.clock[kNvClockCoreAlt] != 0) r.coreClock = NvRoundDiv(clocks.clock[kNvClockCoreAlt], 2000);
  }

  uint32_t rpm = 0;
  if (api_->GetTachReading(gpu, &rpm) == 0) r.fanRpm = rpm;
}
