#include "common/CpuPass.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Model-specific registers the engine reads and writes.
constexpr uint32_t kMsrPlatformInfo = 0xCE;      // maximum non-turbo ratio in bits 15..8
constexpr uint32_t kMsrMperf = 0xE7;             // reference cycles at the TSC rate
constexpr uint32_t kMsrAperf = 0xE8;             // actual cycles
constexpr uint32_t kMsrPerfStatus = 0x198;       // current ratio
constexpr uint32_t kMsrThermStatus = 0x19C;      // digital readout in bits 22..16 (23..16)
constexpr uint32_t kMsrMiscEnable = 0x1A0;       // bit 38: turbo disengaged
constexpr uint32_t kMsrTemperatureTarget = 0x1A2;  // TjMax in bits 23..16
constexpr uint32_t kMsrFixedCtr1 = 0x30A;        // unhalted core cycles
constexpr uint32_t kMsrFixedCtr2 = 0x30B;        // unhalted reference cycles
constexpr uint32_t kMsrFixedCtrCtrl = 0x38D;
constexpr uint32_t kMsrPerfGlobalCtrl = 0x38F;
constexpr uint32_t kMsrMperfReadOnly = 0xC00000E7;  // AMD: read-only copies of MPERF, APERF
constexpr uint32_t kMsrAperfReadOnly = 0xC00000E8;

constexpr uint32_t kThermReadoutValid = 0x08000000;  // bit 27

// AMD Zen: SMN registers of the thermal block and CPUID leaves.
constexpr uint32_t kSmnTctl = 0x00059800;        // control temperature in bits 31..21
constexpr uint32_t kTctlRangeSelect = 1u << 19;  // -49 C range
constexpr uint32_t kTctlRangeBits = 3u << 16;    // both set: -49 C range as well
constexpr uint32_t kCcdValid = 1u << 11;
constexpr double kZenRangeOffset = 49.0;
constexpr uint32_t kCpuidExtendedMax = 0x80000000;
constexpr uint32_t kCpuidBrandFirst = 0x80000002;
constexpr uint32_t kCpuidBrandLast = 0x80000004;
constexpr uint32_t kCpuidTopology = 0x8000001E;  // EBX bits 7..0: core id
constexpr int kCoresPerCcd = 8;
constexpr int kMaxCcds = 16;

constexpr uint32_t kAllOnes = 0xFFFFFFFFu;

// Bus clocks are multiples of 100/3 MHz.
constexpr double kBusStep = 100.0 / 3.0;

// Generations whose start-up reads come from 0x1A2, 0xCE and 0x1A0.
bool ReadsPlatformInfo(uint8_t g) {
  return IsMultiplierGeneration(g) && g != kGenCore && g != kGenAtom;
}

uint64_t ReadMsr64(const tRegisterAccess& a, int32_t processor, uint32_t msr) {
  uint64_t value = 0;
  if (!a.ReadMsr(a.Context, processor, msr, &value)) value = 0;
  return value;
}

}  // namespace

tCpuSampler::tCpuSampler(int32_t processorCount, tDebugCallback callback)
    : ProcessorCount(processorCount > 0 ? processorCount : 0),
      DebugCallback(callback),
      Temperatures(new std::atomic<double>[processorCount > 0 ? processorCount : 1]),
      PrevCoreCycles(ProcessorCount, 0),
      PrevRefCycles(ProcessorCount, 0),
      Targets(ProcessorCount, 0.0),
      UsesPerfCounters(ProcessorCount, 0),
      Ccds(ProcessorCount, -1) {
  for (int32_t i = 0; i < (ProcessorCount > 0 ? ProcessorCount : 1); ++i) Temperatures[i] = 0.0;
}

double tCpuSampler::GetTemperature(uint32_t index) const {
  if (index >= static_cast<uint32_t>(ProcessorCount)) return 0.0;
  return Temperatures[index];
}

int tCpuSampler::GetCcd(int32_t processor) const {
  return processor >= 0 && processor < ProcessorCount ? Ccds[processor] : -1;
}

static tCpuIdentity IdentityOf(const tCpuSampler& s) {
  tCpuIdentity cpu;
  std::memcpy(cpu.Vendor, s.Vendor, sizeof cpu.Vendor);
  cpu.Signature = s.Signature;
  cpu.Family = s.Family;
  cpu.Model = s.Model;
  cpu.Stepping = s.Stepping;
  cpu.Generation = s.Generation;
  cpu.Name = s.ModelRowName;
  return cpu;
}

std::string tCpuSampler::GetCpuIdText() const { return FormatCpuIdText(IdentityOf(*this)); }
std::string tCpuSampler::GetModelName() const { return FormatModelName(IdentityOf(*this)); }

int32_t tCpuSampler::MaskedProcessorCount() const {
  constexpr int32_t bits = static_cast<int32_t>(sizeof(uintptr_t) * 8);
  return ProcessorCount < bits ? ProcessorCount : bits;
}

void tCpuSampler::Identify(const tRegisterAccess& access) {
  IdaEnabled = false;
  const tCpuIdentity cpu = IdentifyCpu(access, ProcessorCount);
  std::memcpy(Vendor, cpu.Vendor, sizeof Vendor);
  Signature = cpu.Signature;
  Family = cpu.Family;
  Model = cpu.Model;
  Stepping = cpu.Stepping;
  Generation = cpu.Generation;
  ThermalDevice = cpu.ThermalDevice;
  ModelRowName = cpu.Name;
  ReadoutMask = cpu.ReadoutMask;
  PerProcessorTarget = cpu.PerProcessorTarget;
  CcdOffset = cpu.CcdOffset;
  CcdCount = cpu.CcdCount > kMaxCcds ? kMaxCcds : cpu.CcdCount;
  if (cpu.DefaultTjMax != 0.0) TjMax = cpu.DefaultTjMax;
}

void tCpuSampler::ReadStartupRegisters(const tRegisterAccess& access) {
  if (Generation == kGenCore || Generation == kGenAtom) {
    const uint32_t high = static_cast<uint32_t>(ReadMsr64(access, 0, kMsrPerfStatus) >> 32);
    BaseMultiplier = ((high >> 8) & 0x1F) + ((high & 0x4000) ? 0.5 : 0.0);
  } else if (ReadsPlatformInfo(Generation)) {
    TjMax = static_cast<double>((ReadMsr64(access, 0, kMsrTemperatureTarget) >> 16) & 0xFF);
    BaseMultiplier = static_cast<double>((ReadMsr64(access, 0, kMsrPlatformInfo) >> 8) & 0xFF);
    // A back end that refuses the register leaves turbo assumed on: the
    // effective ratio is only taken when it lies above the base ratio.
    uint64_t misc = 0;
    const bool read = access.ReadMsr(access.Context, 0, kMsrMiscEnable, &misc);
    IdaEnabled = !read || (misc & (uint64_t(1) << 38)) == 0;
    if (PerProcessorTarget)
      for (int32_t p = 0; p < MaskedProcessorCount(); ++p)
        Targets[p] = static_cast<double>((ReadMsr64(access, p, kMsrTemperatureTarget) >> 16) & 0xFF);
  } else if (Generation == kGenZen) {
    uint32_t regs[4] = {};
    const bool extended = access.Cpuid(access.Context, 0, kCpuidExtendedMax, regs);
    const uint32_t maxLeaf = extended ? regs[0] : 0;
    if (maxLeaf >= kCpuidBrandLast) {
      for (uint32_t leaf = kCpuidBrandFirst; leaf <= kCpuidBrandLast; ++leaf) {
        uint32_t part[4] = {};
        if (!access.Cpuid(access.Context, 0, leaf, part)) break;
        std::memcpy(Brand + 16 * (leaf - kCpuidBrandFirst), part, 16);
      }
      Brand[48] = 0;
    }
    TemperatureOffset = GetZenTemperatureOffset(Brand);
    // The CCD of a processor is its core id over the cores of one CCD.
    if (maxLeaf >= kCpuidTopology)
      for (int32_t p = 0; p < MaskedProcessorCount(); ++p) {
        uint32_t topology[4] = {};
        if (access.Cpuid(access.Context, p, kCpuidTopology, topology))
          Ccds[p] = static_cast<int8_t>((topology[1] & 0xFF) / kCoresPerCcd);
      }
  }
}

void tCpuSampler::Identify(const tDriverApi& driver) {
  tDriverAccess library;
  library.Api = &driver;
  Identify(MakeDriverAccess(library));
}

void tCpuSampler::ReadStartupRegisters(const tDriverApi& driver) {
  tDriverAccess library;
  library.Api = &driver;
  ReadStartupRegisters(MakeDriverAccess(library));
}

void tCpuSampler::RunPass(const tDriverApi& driver, tCounterReader readCounter) {
  tDriverAccess library;
  library.Api = &driver;
  RunPass(MakeDriverAccess(library), readCounter);
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

void tCpuSampler::RunPass(const tRegisterAccess& access, tCounterReader readCounter) {
  uint64_t tsc = 0;
  const bool haveTsc = access.ReadTsc(access.Context, 0, &tsc);

  int64_t counter = PrevCounter;
  if (!readCounter(&counter)) counter = PrevCounter;

  if (IdaEnabled) EnableFixedCounters(access);

  // Without a TSC reading the pass measures no clock and keeps its origin.
  if (haveTsc) {
    if (PerformanceFrequency != 0 && counter != PrevCounter) {
      const double elapsed =
          static_cast<double>(counter - PrevCounter) / static_cast<double>(PerformanceFrequency);
      const double ticks = static_cast<double>(static_cast<int64_t>(tsc - PrevTsc));
      TscClock = ticks / elapsed / 1000000.0;
      Debug("TSCClock: %.6f Mhz (TSCTime %.6f)", TscClock.load(), elapsed);
    }
    PrevCounter = counter;
    PrevTsc = tsc;
  }

  if (IsMultiplierGeneration(Generation)) {
    IntelStep(access);
  } else if (Generation == kGenAmd) {
    AmdStep(access);
    CpuClock = TscClock.load();
  } else if (Generation == kGenZen) {
    ZenStep(access);
  } else {
    CpuClock = TscClock.load();
  }
}

// Enables the fixed counters for all rings. A processor where the back end
// refuses their control registers takes its effective ratio from APERF and
// MPERF instead.
void tCpuSampler::EnableFixedCounters(const tRegisterAccess& access) {
  for (int32_t p = 0; p < MaskedProcessorCount(); ++p) {
    uint64_t global = 0, fixed = 0;
    bool ok = access.ReadMsr(access.Context, p, kMsrPerfGlobalCtrl, &global) &&
              access.WriteMsr(access.Context, p, kMsrPerfGlobalCtrl, global | 3 | uint64_t(7) << 32);
    ok = ok && access.ReadMsr(access.Context, p, kMsrFixedCtrCtrl, &fixed) &&
         access.WriteMsr(access.Context, p, kMsrFixedCtrCtrl, fixed | 0x333);
    UsesPerfCounters[p] = !ok;
  }
}

void tCpuSampler::IntelStep(const tRegisterAccess& access) {
  const double tjMax = TjMax;
  const double base = BaseMultiplier;
  const double tscClock = TscClock;
  const bool ida = IdaEnabled;
  double max = 0.0;
  for (int32_t p = 0; p < MaskedProcessorCount(); ++p) {
    // A hybrid part's temperature counts down from its own processor's
    // target; a processor whose target could not be read gives no reading.
    const double target = PerProcessorTarget ? Targets[p] : tjMax;
    uint64_t therm = 0;
    if (access.ReadMsr(access.Context, p, kMsrThermStatus, &therm) &&
        (therm & kThermReadoutValid) && (!PerProcessorTarget || target > 0.0))
      Temperatures[p] = target - ((therm >> 16) & ReadoutMask);

    const uint32_t status = static_cast<uint32_t>(ReadMsr64(access, p, kMsrPerfStatus));
    double ratio;
    if (Generation == kGenCore || Generation == kGenAtom)
      ratio = ((status >> 8) & 0x1F) + ((status & 0x4000) ? 0.5 : 0.0);
    else if (Generation == kGenNehalem)
      ratio = status & 0xFF;
    else
      ratio = (status >> 8) & 0xFF;

    if (ida) {
      const uint32_t coreMsr = UsesPerfCounters[p] ? kMsrAperf : kMsrFixedCtr1;
      const uint32_t refMsr = UsesPerfCounters[p] ? kMsrMperf : kMsrFixedCtr2;
      uint64_t core = 0, ref = 0;
      const uint64_t dCore =
          access.ReadMsr(access.Context, p, coreMsr, &core) ? core - PrevCoreCycles[p] : 0;
      if (dCore != 0) {
        PrevCoreCycles[p] = core;
        const uint64_t dRef =
            access.ReadMsr(access.Context, p, refMsr, &ref) ? ref - PrevRefCycles[p] : 0;
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

void tCpuSampler::AmdK8Sensor(const tRegisterAccess& access, int core, int entry) {
  uint32_t value = 0;
  if (!access.ReadK8ThermTrip(access.Context, ThermalDevice, core, &value)) return;
  const int reading = static_cast<int>((value >> 16) & 0xFF);
  if (reading != 0xFF) Temperatures[entry] = reading - 49;
}

void tCpuSampler::AmdStep(const tRegisterAccess& access) {
  // A thermal device that was not found is not read: temperatures stay as they are.
  if (ThermalDevice == kPciNotFound || ProcessorCount == 0) return;
  if (Family == 0x0F) {
    AmdK8Sensor(access, 0, 0);
    if (ProcessorCount > 1) AmdK8Sensor(access, 1, 1);
    return;
  }
  uint32_t value = 0;
  if (!access.ReadReportedTemperature(access.Context, ThermalDevice, &value)) return;
  uint32_t raw = value >> 21;
  if (Family == 0x15 && (Model & 0xF) == 0) raw &= 0x7FC;
  const double t = raw * 0.125;
  for (int32_t p = 0; p < ProcessorCount; ++p) Temperatures[p] = t;
}

void tCpuSampler::ZenStep(const tRegisterAccess& access) {
  ZenTemperatures(access);
  ZenClock(access);
}

// Tdie from the control temperature and, where the model has them, the CCD
// temperatures; each processor's slot takes its CCD's reading, else Tdie.
// Every register is read under the lock other programs take around the same
// index/data pair; all ones, a refused read or a CCD without its valid bit
// is no reading, and a slot without a reading keeps its value.
void tCpuSampler::ZenTemperatures(const tRegisterAccess& access) {
  if (access.LockSmn != nullptr && !access.LockSmn(access.Context)) return;
  uint32_t value = 0;
  bool haveDie = false;
  double die = 0.0;
  if (access.ReadSmn(access.Context, kSmnTctl, &value) && value != kAllOnes) {
    double control = (value >> 21) * 0.125;
    if ((value & kTctlRangeSelect) || (value & kTctlRangeBits) == kTctlRangeBits)
      control -= kZenRangeOffset;
    die = control - TemperatureOffset;
    haveDie = true;
  }
  double ccd[kMaxCcds] = {};
  bool haveCcd[kMaxCcds] = {};
  for (int n = 0; n < CcdCount; ++n) {
    const uint32_t address = kSmnTctl + CcdOffset + 4u * static_cast<uint32_t>(n);
    if (access.ReadSmn(access.Context, address, &value) && value != kAllOnes && (value & kCcdValid)) {
      ccd[n] = (value & 0x7FF) * 0.125 - kZenRangeOffset;
      haveCcd[n] = true;
    }
  }
  if (access.UnlockSmn != nullptr) access.UnlockSmn(access.Context);

  for (int32_t p = 0; p < ProcessorCount; ++p) {
    const int c = Ccds[p];
    if (c >= 0 && c < CcdCount && haveCcd[c])
      Temperatures[p] = ccd[c];
    else if (haveDie)
      Temperatures[p] = die;
  }
}

// The effective clock of the busiest processor: the TSC clock times its
// actual over its reference cycles since the last pass (the read-only
// copies, else the architectural registers); the TSC clock when no
// processor gives a reading.
void tCpuSampler::ZenClock(const tRegisterAccess& access) {
  const double tscClock = TscClock;
  double best = 0.0;
  for (int32_t p = 0; p < MaskedProcessorCount(); ++p) {
    uint64_t actual = 0, reference = 0;
    const bool copies = access.ReadMsr(access.Context, p, kMsrAperfReadOnly, &actual) &&
                        access.ReadMsr(access.Context, p, kMsrMperfReadOnly, &reference);
    if (!copies && !(access.ReadMsr(access.Context, p, kMsrAperf, &actual) &&
                     access.ReadMsr(access.Context, p, kMsrMperf, &reference)))
      continue;
    const uint64_t dActual = actual - PrevCoreCycles[p];
    const uint64_t dReference = reference - PrevRefCycles[p];
    PrevCoreCycles[p] = actual;
    PrevRefCycles[p] = reference;
    if (dActual == 0 || dReference == 0) continue;
    const double clock = tscClock * static_cast<double>(dActual) / static_cast<double>(dReference);
    if (clock > best) best = clock;
  }
  CpuClock = best > 0.0 ? best : tscClock;
}
