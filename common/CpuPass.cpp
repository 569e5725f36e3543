#include "common/CpuPass.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Model-specific registers the engine reads and writes.
constexpr uint32_t kMsrPlatformInfo = 0xCE;      // maximum non-turbo ratio in bits 15..8
constexpr uint32_t kMsrPerfStatus = 0x198;       // current ratio
constexpr uint32_t kMsrThermStatus = 0x19C;      // digital readout in bits 22..16
constexpr uint32_t kMsrMiscEnable = 0x1A0;       // bit 38: turbo disengaged
constexpr uint32_t kMsrTemperatureTarget = 0x1A2;  // TjMax in bits 23..16
constexpr uint32_t kMsrFixedCtr1 = 0x30A;        // unhalted core cycles
constexpr uint32_t kMsrFixedCtr2 = 0x30B;        // unhalted reference cycles
constexpr uint32_t kMsrFixedCtrCtrl = 0x38D;
constexpr uint32_t kMsrPerfGlobalCtrl = 0x38F;

constexpr uint32_t kThermReadoutValid = 0x08000000;  // bit 27

// AMD PCI registers: K8 thermal-trip status, later families' reported temperature.
constexpr uint8_t kPciK8ThermTrip = 0xE4;
constexpr uint8_t kPciReportedTemp = 0xA4;
constexpr uint32_t kPciK8Misc = 0xC3;  // bus 0, device 24, function 3

// Bus clocks are multiples of 100/3 MHz.
constexpr double kBusStep = 100.0 / 3.0;

uint64_t ReadMsr64(const tDriverApi& driver, uint32_t msr, uintptr_t mask) {
  uint32_t low = 0, high = 0;
  driver.RdmsrEx(msr, &low, &high, mask);
  return static_cast<uint64_t>(high) << 32 | low;
}

bool IsIntelGeneration(uint8_t g) { return g >= kGenCore && g <= kGenKabylake; }

// Generations whose start-up reads come from 0x1A2, 0xCE and 0x1A0.
bool ReadsPlatformInfo(uint8_t g) { return IsIntelGeneration(g) && g != kGenCore && g != kGenAtom; }

}  // namespace

tCpuSampler::tCpuSampler(int32_t processorCount, tDebugCallback callback)
    : ProcessorCount(processorCount > 0 ? processorCount : 0),
      DebugCallback(callback),
      Temperatures(new std::atomic<double>[processorCount > 0 ? processorCount : 1]),
      PrevCoreCycles(ProcessorCount, 0),
      PrevRefCycles(ProcessorCount, 0) {
  for (int32_t i = 0; i < (ProcessorCount > 0 ? ProcessorCount : 1); ++i) Temperatures[i] = 0.0;
}

double tCpuSampler::GetTemperature(uint32_t index) const {
  if (index >= static_cast<uint32_t>(ProcessorCount)) return 0.0;
  return Temperatures[index];
}

static tCpuIdentity IdentityOf(const tCpuSampler& s) {
  tCpuIdentity cpu;
  std::memcpy(cpu.Vendor, s.Vendor, sizeof cpu.Vendor);
  cpu.Signature = s.Signature;
  cpu.Family = s.Family;
  cpu.Model = s.Model;
  cpu.Stepping = s.Stepping;
  cpu.Generation = s.Generation;
  return cpu;
}

std::string tCpuSampler::GetCpuIdText() const { return FormatCpuIdText(IdentityOf(*this)); }
std::string tCpuSampler::GetModelName() const { return FormatModelName(IdentityOf(*this)); }

int32_t tCpuSampler::MaskedProcessorCount() const {
  constexpr int32_t bits = static_cast<int32_t>(sizeof(uintptr_t) * 8);
  return ProcessorCount < bits ? ProcessorCount : bits;
}

void tCpuSampler::Identify(const tDriverApi& driver) {
  IdaEnabled = false;
  const tCpuIdentity cpu = IdentifyCpu(driver, ProcessorCount);
  std::memcpy(Vendor, cpu.Vendor, sizeof Vendor);
  Signature = cpu.Signature;
  Family = cpu.Family;
  Model = cpu.Model;
  Stepping = cpu.Stepping;
  Generation = cpu.Generation;
  ThermalDevice = cpu.ThermalDevice;
  if (cpu.DefaultTjMax != 0.0) TjMax = cpu.DefaultTjMax;
}

void tCpuSampler::ReadStartupRegisters(const tDriverApi& driver) {
  if (Generation == kGenCore || Generation == kGenAtom) {
    const uint32_t high = static_cast<uint32_t>(ReadMsr64(driver, kMsrPerfStatus, 1) >> 32);
    BaseMultiplier = ((high >> 8) & 0x1F) + ((high & 0x4000) ? 0.5 : 0.0);
  } else if (ReadsPlatformInfo(Generation)) {
    TjMax = static_cast<double>((ReadMsr64(driver, kMsrTemperatureTarget, 1) >> 16) & 0xFF);
    BaseMultiplier = static_cast<double>((ReadMsr64(driver, kMsrPlatformInfo, 1) >> 8) & 0xFF);
    IdaEnabled = (ReadMsr64(driver, kMsrMiscEnable, 1) & (uint64_t(1) << 38)) == 0;
  }
}

void tCpuSampler::Debug(const char* format, ...) const {
  if (!DebugOutput || DebugCallback == nullptr) return;
  char line[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  // The only dots of the lines are decimal points.
  if (DecimalSeparator != '.')
    for (char* c = line; *c; ++c)
      if (*c == '.') *c = DecimalSeparator;
  DebugCallback(line);
}

void tCpuSampler::RunPass(const tDriverApi& driver, tCounterReader readCounter) {
  uint32_t low = 0, high = 0;
  driver.RdtscEx(&low, &high, 1);
  const uint64_t tsc = static_cast<uint64_t>(high) << 32 | low;

  int64_t counter = PrevCounter;
  if (!readCounter(&counter)) counter = PrevCounter;

  if (IdaEnabled) EnableFixedCounters(driver);

  if (PerformanceFrequency != 0 && counter != PrevCounter) {
    const double elapsed =
        static_cast<double>(counter - PrevCounter) / static_cast<double>(PerformanceFrequency);
    const double ticks = static_cast<double>(static_cast<int64_t>(tsc - PrevTsc));
    TscClock = ticks / elapsed / 1000000.0;
    Debug("TSCClock: %.6f Mhz (TSCTime %.6f)", TscClock.load(), elapsed);
  }
  PrevCounter = counter;
  PrevTsc = tsc;

  if (IsIntelGeneration(Generation)) {
    IntelStep(driver);
  } else if (Generation == kGenAmd) {
    AmdStep(driver);
    CpuClock = TscClock.load();
  } else {
    CpuClock = TscClock.load();
  }
}

void tCpuSampler::EnableFixedCounters(const tDriverApi& driver) {
  for (int32_t p = 0; p < MaskedProcessorCount(); ++p) {
    const uintptr_t mask = uintptr_t(1) << p;
    uint32_t low = 0, high = 0;
    driver.RdmsrEx(kMsrPerfGlobalCtrl, &low, &high, mask);
    driver.WrmsrEx(kMsrPerfGlobalCtrl, low | 3, high | 7, mask);
    low = high = 0;
    driver.RdmsrEx(kMsrFixedCtrCtrl, &low, &high, mask);
    driver.WrmsrEx(kMsrFixedCtrCtrl, low | 0x333, high, mask);
  }
}

void tCpuSampler::IntelStep(const tDriverApi& driver) {
  const double tjMax = TjMax;
  const double base = BaseMultiplier;
  const double tscClock = TscClock;
  const bool ida = IdaEnabled;
  double max = 0.0;
  for (int32_t p = 0; p < MaskedProcessorCount(); ++p) {
    const uintptr_t mask = uintptr_t(1) << p;
    const uint32_t therm = static_cast<uint32_t>(ReadMsr64(driver, kMsrThermStatus, mask));
    if (therm & kThermReadoutValid) Temperatures[p] = tjMax - ((therm >> 16) & 0x7F);

    const uint32_t status = static_cast<uint32_t>(ReadMsr64(driver, kMsrPerfStatus, mask));
    double ratio;
    if (Generation == kGenCore || Generation == kGenAtom)
      ratio = ((status >> 8) & 0x1F) + ((status & 0x4000) ? 0.5 : 0.0);
    else if (Generation == kGenNehalem)
      ratio = status & 0xFF;
    else
      ratio = (status >> 8) & 0xFF;

    if (ida) {
      const uint64_t core = ReadMsr64(driver, kMsrFixedCtr1, mask);
      const uint64_t dCore = core - PrevCoreCycles[p];
      if (dCore != 0) {
        PrevCoreCycles[p] = core;
        const uint64_t ref = ReadMsr64(driver, kMsrFixedCtr2, mask);
        const uint64_t dRef = ref - PrevRefCycles[p];
        if (dRef != 0) {
          PrevRefCycles[p] = ref;
          const double effective =
              std::nearbyint(static_cast<double>(dCore) * base / static_cast<double>(dRef));
          Debug("Core #%.2d: %.6f Mhz (IDA %.0f, FID %.1f)", p + 1,
                base != 0.0 ? ratio * tscClock / base : 0.0, effective, ratio);
          if (effective > base) ratio = effective;
        }
      }
    }
    if (ratio > max) max = ratio;
  }

  Multiplier = max;
  if (base > 0.0) {
    const double bus = tscClock / base;
    BusClock = bus;
    double cpu = max * bus;
    const double snapped = kBusStep * std::nearbyint(bus / kBusStep);
    if (std::fabs(snapped - bus) < 1.0) {
      cpu = max * snapped;
      TscClock = base * snapped;
    }
    CpuClock = cpu;
  } else {
    CpuClock = 0.0;
  }
}

void tCpuSampler::AmdK8Sensor(const tDriverApi& driver, uint32_t select, int entry) {
  uint32_t value = driver.ReadPciConfigDword(ThermalDevice, kPciK8ThermTrip);
  driver.WritePciConfigDword(kPciK8Misc, kPciK8ThermTrip, select ? (value | 4) : (value & 0xFFFB));
  value = driver.ReadPciConfigDword(ThermalDevice, kPciK8ThermTrip);
  const int reading = static_cast<int>((value >> 16) & 0xFF);
  if (reading != 0xFF) Temperatures[entry] = reading - 49;
}

void tCpuSampler::AmdStep(const tDriverApi& driver) {
  // A thermal device that was not found is not read: temperatures stay as they are.
  if (ThermalDevice == kPciNotFound || ProcessorCount == 0) return;
  if (Family == 0x0F) {
    AmdK8Sensor(driver, 0, 0);
    if (ProcessorCount > 1) AmdK8Sensor(driver, 1, 1);
    return;
  }
  uint32_t raw = driver.ReadPciConfigDword(ThermalDevice, kPciReportedTemp) >> 21;
  if (Family == 0x15 && (Model & 0xF) == 0) raw &= 0x7FC;
  const double t = raw * 0.125;
  for (int32_t p = 0; p < ProcessorCount; ++p) Temperatures[p] = t;
}
