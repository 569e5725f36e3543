// Writer and reader rules of the shared hardware block.
#include "service/HardwareBlock.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstring>

int RoundHalfEven(double value) {
  if (!(value == value)) return 0;  // NaN
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  // std::nearbyint rounds in the current mode; force ties-to-even for this call.
  const int previous = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(value);
  std::fesetround(previous);
  return static_cast<int>(rounded);
}

void PrepareHardwareBlock(tHardwareBlock& block, uint32_t versionMS, uint32_t versionLS) {
  std::memset(&block, 0, sizeof block);
  block.RecordSize = kHardwareBlockSize;
  block.VersionMS = versionMS;
  block.VersionLS = versionLS;
}

void SetBlockIdentity(tHardwareBlock& block, uint32_t signature, int processorCount) {
  block.Signature = signature;
  block.ProcessorCount = processorCount;
}

void UpdateHardwareBlock(tHardwareBlock& block, const tBlockReadings& readings) {
  block.TscClock = readings.TscClock;
  block.CpuClock = readings.CpuClock;
  block.TjMax = RoundHalfEven(readings.TjMax);
  if (readings.Temperatures != nullptr) {
    const int slots = std::min(readings.ProcessorCount, kHardwareBlockSlots);
    for (int i = 0; i < slots; ++i) block.Temperatures[i] = readings.Temperatures[i];
  }
  block.Generation = readings.Generation;
  if (IsMultiplierGeneration(readings.Generation)) {
    block.BusClock = readings.BusClock;
    block.MultiplierClock = readings.Multiplier * readings.BusClock;
  } else {
    block.MultiplierClock = block.TscClock;
  }
}

void StoreBlockLoads(tHardwareBlock& block, const double* loads, int count) {
  const int slots = std::min(count, kHardwareBlockSlots);
  for (int i = 0; i < slots; ++i) block.Loads[i] = loads[i];
}

bool ReadHardwareBlock(const void* data, size_t length, tBlockReading& reading) {
  if (data == nullptr || length < sizeof(uint32_t)) return false;
  uint32_t recordSize = 0;
  std::memcpy(&recordSize, data, sizeof recordSize);
  if (recordSize != kHardwareBlockSize && recordSize != kOldHardwareBlockSize) return false;
  if (length < recordSize) return false;

  // Copy only the bytes the record claims; the rest of the local copy stays 0.
  tHardwareBlock block;
  std::memset(&block, 0, sizeof block);
  std::memcpy(&block, data, recordSize);

  reading = tBlockReading();
  reading.RecordSize = recordSize;
  reading.VersionMS = block.VersionMS;
  reading.VersionLS = block.VersionLS;
  reading.Signature = block.Signature;
  reading.TjMax = block.TjMax;
  reading.TscClock = block.TscClock;
  reading.CpuClock = block.CpuClock;
  std::memcpy(reading.Temperatures, block.Temperatures, sizeof reading.Temperatures);
  reading.Generation = block.Generation;
  if (recordSize == kHardwareBlockSize && IsMultiplierGeneration(block.Generation)) {
    reading.MultiplierClock = block.MultiplierClock;
    reading.HasBusClock = true;
    reading.BusClock = block.BusClock;
  } else {
    reading.MultiplierClock = block.TscClock;
  }
  return true;
}

void FormatServiceVersion(uint32_t versionMS, uint32_t versionLS, std::string& text) {
  char version[64];
  std::snprintf(version, sizeof version, "Service %d.%d.%d.%d", static_cast<int>(versionMS >> 16),
                static_cast<int>(versionMS & 0xFFFF), static_cast<int>(versionLS >> 16),
                static_cast<int>(versionLS & 0xFFFF));
  text.assign(version);
}

std::string FormatServiceVersion(uint32_t versionMS, uint32_t versionLS) {
  std::string text;
  FormatServiceVersion(versionMS, versionLS, text);
  return text;
}
