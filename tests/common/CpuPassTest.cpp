#include "common/CpuPass.h"
#include "tests/common/FakeDriver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint32_t kValid = 0x08000000;  // readout-valid bit of 0x19C

// A sampler over the fake driver, with a 1 MHz performance counter.
class CpuPass : public testing::Test {
 protected:
  void SetUp() override {
    gFakeCpu = tFakeCpu{};
    tFakeCounter::Value = 0;
    tFakeCounter::Fails = false;
    Lines.clear();
  }

  // Sets up an Intel processor and makes the sampler identify it.
  std::unique_ptr<tCpuSampler> MakeIntel(uint32_t signature, int processors) {
    gFakeCpu.Signature = signature;
    gFakeCpu.Processors = processors;
    return Make(processors);
  }
  std::unique_ptr<tCpuSampler> MakeAmd(uint32_t signature, int processors) {
    std::memcpy(gFakeCpu.Vendor, "AuthenticAMD", 13);
    gFakeCpu.Signature = signature;
    gFakeCpu.Processors = processors;
    gFakeCpu.AddDevice(0x1103, 0xC3);
    gFakeCpu.AddDevice(0x1203, 0xC3);
    gFakeCpu.AddDevice(0x1603, 0xC3);
    gFakeCpu.AddDevice(0x1533, 0xC3);
    return Make(processors);
  }
  std::unique_ptr<tCpuSampler> Make(int processors) {
    auto s = std::make_unique<tCpuSampler>(processors, &CpuPass::Collect);
    s->Identify(Api);
    s->ReadStartupRegisters(Api);
    s->PerformanceFrequency = 1000000;
    return s;
  }
  // Advances time by one second at the given TSC clock and runs a pass.
  void Pass(tCpuSampler& s, double tscMhz) {
    tFakeCounter::Value += 1000000;
    gFakeCpu.Tsc += static_cast<uint64_t>(tscMhz * 1e6 + 0.5);
    s.RunPass(Api, &tFakeCounter::Read);
  }
  // Haswell-class start-up registers: target 100, base ratio 34, turbo on/off.
  void HaswellRegisters(bool turbo) {
    gFakeCpu.SetMsrAll(0x1A2, 0xAB000000ull | 100u << 16);
    gFakeCpu.SetMsrAll(0xCE, 0x80000000ull | 34u << 8);
    gFakeCpu.SetMsrAll(0x1A0, turbo ? 0x850089ull : 0x4000850089ull);
    gFakeCpu.SetMsrAll(0x198, 34u << 8);
  }
  static void Collect(const char* line) { Lines.push_back(line); }

  tDriverApi Api = FakeDriverApi();
  static inline std::vector<std::string> Lines;
};

}  // namespace

TEST_F(CpuPass, ReadsStartupRegistersByGeneration) {
  struct Case {
    uint32_t Signature;
    uint64_t Msr198, Msr1A0;
    double Base, TjMax;
    bool Ida;
  } cases[] = {
      {0x10676, 0x0000'4A00'0000'0000ull, 0, 10.5, 100, false},   // Core: bits 44..40, half bit 46
      {0x106CA, 0x0000'0900'0000'0000ull, 0, 9.0, 100, false},     // Atom: bits 44..40
      {0x306C3, 0, 0x850089, 34, 100, true},                        // Haswell, turbo on
      {0x306C3, 0, 0x4000850089ull, 34, 100, false},                // turbo disengaged
      {0x50654, 0, 0, 0, 0, false},                                 // unsupported: nothing read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Signature);
    SetUp();
    HaswellRegisters(false);
    gFakeCpu.SetMsrAll(0x198, c.Msr198);
    gFakeCpu.SetMsrAll(0x1A0, c.Msr1A0);
    auto s = MakeIntel(c.Signature, 2);
    EXPECT_EQ(s->BaseMultiplier, c.Base);
    EXPECT_EQ(s->TjMax, c.TjMax);
    EXPECT_EQ(s->IdaEnabled, c.Ida);
    EXPECT_EQ(gFakeCpu.BadMasks, 0);
  }
}

TEST_F(CpuPass, MeasuresTheTscClockAgainstThePerformanceCounter) {
  auto s = MakeIntel(0x50654, 1);  // unsupported: CpuClock follows TscClock
  gFakeCpu.Tsc = 0;
  tFakeCounter::Value = 500000;  // half a second since the counter's origin
  gFakeCpu.Tsc = 1200000000;
  s->RunPass(Api, &tFakeCounter::Read);
  EXPECT_DOUBLE_EQ(s->TscClock, 2400.0);
  EXPECT_DOUBLE_EQ(s->CpuClock, 2400.0);
  EXPECT_EQ(gFakeCpu.LastTscMask, 1u);

  Pass(*s, 3000.0);
  EXPECT_DOUBLE_EQ(s->TscClock, 3000.0);

  // No counter reading, an unchanged counter or no frequency: the clock stays.
  tFakeCounter::Fails = true;
  gFakeCpu.Tsc += 5000000000ull;
  s->RunPass(Api, &tFakeCounter::Read);
  EXPECT_DOUBLE_EQ(s->TscClock, 3000.0);
  tFakeCounter::Fails = false;
  s->RunPass(Api, &tFakeCounter::Read);
  EXPECT_DOUBLE_EQ(s->TscClock, 3000.0);
  s->PerformanceFrequency = 0;
  Pass(*s, 1000.0);
  EXPECT_DOUBLE_EQ(s->TscClock, 3000.0);
}

TEST_F(CpuPass, SnapsTheBusClockToThirdsOfHundredMegahertz) {
  struct Case {
    uint32_t Base, Ratio;
    double TscMhz, Bus, Cpu, Tsc;
  } cases[] = {
      {34, 36, 3400.2, 3400.2 / 34, 36 * 100.0, 3400.0},                      // snaps to 100
      {34, 36, 34 * 101.5, 101.5, 36 * 101.5, 34 * 101.5},                    // 1.5 off: kept
      {20, 22, 20 * 133.9, 133.9, 22 * (400.0 / 3), 20 * (400.0 / 3)},        // snaps to 133.333
      {0, 22, 2000.0, 0.0, 0.0, 2000.0},                                      // no base: no clock
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.TscMhz);
    SetUp();
    HaswellRegisters(false);
    gFakeCpu.SetMsrAll(0xCE, c.Base << 8);
    gFakeCpu.SetMsrAll(0x198, c.Ratio << 8);
    auto s = MakeIntel(0x306C3, 2);
    Pass(*s, c.TscMhz);
    EXPECT_EQ(s->Multiplier, c.Ratio);
    EXPECT_NEAR(s->BusClock, c.Bus, 1e-9);
    EXPECT_NEAR(s->CpuClock, c.Cpu, 1e-9);
    EXPECT_NEAR(s->TscClock, c.Tsc, 1e-9);
  }
}

TEST_F(CpuPass, DecodesTheCurrentRatioByGeneration) {
  struct Case {
    uint32_t Signature;
    uint32_t Status;
    double Ratio;
  } cases[] = {
      {0x10676, 0x4900, 9.5},       // Core: bits 12..8 and the half bit
      {0x10676, 0xA900, 9.0},       // bits 15 and 13 are not part of it
      {0x106CA, 0x0C00, 12.0},      // Atom as Core
      {0x106A5, 0x1A16, 0x16},      // Nehalem: bits 7..0
      {0x306C3, 0x2416, 0x24},      // Haswell: bits 15..8
      {0x406C4, 0x1016, 0x10},      // Airmont as Silvermount
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Signature << " " << c.Status);
    SetUp();
    HaswellRegisters(false);
    auto s = MakeIntel(c.Signature, 1);
    gFakeCpu.SetMsrAll(0x198, c.Status);
    Pass(*s, 2000.0);
    EXPECT_EQ(s->Multiplier, c.Ratio);
  }
}

TEST_F(CpuPass, KeepsTheHighestRatioAndEachProcessorsTemperature) {
  HaswellRegisters(false);
  auto s = MakeIntel(0x306C3, 4);
  const uint32_t readouts[] = {55, 52, 40, 127};
  for (int p = 0; p < 4; ++p) {
    gFakeCpu.SetMsr(p, 0x19C, kValid | readouts[p] << 16 | 0x80000000u);
    gFakeCpu.SetMsr(p, 0x198, (30u + p) << 8);
  }
  Pass(*s, 3400.0);
  EXPECT_EQ(s->Multiplier, 33.0);
  EXPECT_DOUBLE_EQ(s->CpuClock, 3300.0);
  EXPECT_EQ(s->GetTemperature(0), 45.0);
  EXPECT_EQ(s->GetTemperature(1), 48.0);
  EXPECT_EQ(s->GetTemperature(2), 60.0);
  EXPECT_EQ(s->GetTemperature(3), -27.0);
  EXPECT_EQ(s->GetTemperature(4), 0.0);  // one past the last processor
  EXPECT_EQ(s->GetTemperature(0xFFFFFFFFu), 0.0);

  // Without the valid bit (bit 31 alone does not count) an entry keeps its value.
  gFakeCpu.SetMsr(1, 0x19C, 0x80000000u | 10u << 16);
  gFakeCpu.SetMsr(2, 0x19C, kValid | 20u << 16);
  Pass(*s, 3400.0);
  EXPECT_EQ(s->GetTemperature(1), 48.0);
  EXPECT_EQ(s->GetTemperature(2), 80.0);
  EXPECT_EQ(gFakeCpu.BadMasks, 0);
}

// The effective ratio from the fixed counters replaces the status ratio only
// when it lies above the base ratio; it is rounded half to even.
TEST_F(CpuPass, UsesTheEffectiveRatioOnlyAboveTheBase) {
  struct Case {
    uint64_t dCore, dRef;
    double Multiplier;
  } cases[] = {
      {38 * 1000, 34 * 1000, 38},  // turbo: replaces the status ratio 30
      {34 * 1000, 34 * 1000, 30},  // equal to the base: status ratio
      {20 * 1000, 34 * 1000, 30},  // below: status ratio
      {77, 68, 38},                // 38.5 rounds to 38
      {79, 68, 40},                // 39.5 rounds to 40
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dCore << "/" << c.dRef);
    SetUp();
    HaswellRegisters(true);
    auto s = MakeIntel(0x306C3, 2);
    gFakeCpu.SetMsrAll(0x198, 30u << 8);
    gFakeCpu.SetMsrAll(0x30A, c.dCore);
    gFakeCpu.SetMsrAll(0x30B, c.dRef);
    Pass(*s, 3400.0);
    EXPECT_EQ(s->Multiplier, c.Multiplier);
    EXPECT_NEAR(s->CpuClock, c.Multiplier * 100.0, 1e-9);
  }
}

TEST_F(CpuPass, UnchangedFixedCountersLeaveTheStatusRatio) {
  HaswellRegisters(true);
  auto s = MakeIntel(0x306C3, 2);
  gFakeCpu.SetMsrAll(0x30A, 40000);
  gFakeCpu.SetMsrAll(0x30B, 34000);
  Pass(*s, 3400.0);
  EXPECT_EQ(s->Multiplier, 40.0);

  gFakeCpu.SetMsrAll(0x198, 36u << 8);
  Pass(*s, 3400.0);  // both counters stand still
  EXPECT_EQ(s->Multiplier, 36.0);

  gFakeCpu.SetMsrAll(0x30A, 80000);  // core cycles move, reference cycles do not
  Pass(*s, 3400.0);
  EXPECT_EQ(s->Multiplier, 36.0);
  gFakeCpu.SetMsrAll(0x30B, 34000 + 34000);  // now both moved since the last use
  Pass(*s, 3400.0);
  EXPECT_EQ(s->Multiplier, 36.0);  // core moved 0 since the last pass: skipped
}

TEST_F(CpuPass, EnablesTheFixedCountersOnEveryProcessor) {
  HaswellRegisters(true);
  auto s = MakeIntel(0x306C3, 3);
  for (int p = 0; p < 3; ++p) {
    gFakeCpu.SetMsr(p, 0x38F, 0x0000'0100'0000'0010ull);
    gFakeCpu.SetMsr(p, 0x38D, 0x0000'0055'0000'4000ull);
  }
  Pass(*s, 3400.0);
  for (int p = 0; p < 3; ++p) {
    EXPECT_EQ(gFakeCpu.GetMsr(p, 0x38F), 0x0000'0107'0000'0013ull);
    EXPECT_EQ(gFakeCpu.GetMsr(p, 0x38D), 0x0000'0055'0000'4333ull);
  }
  EXPECT_EQ(gFakeCpu.BadMasks, 0);

  SetUp();
  HaswellRegisters(false);
  auto off = MakeIntel(0x306C3, 3);
  Pass(*off, 3400.0);
  EXPECT_EQ(gFakeCpu.Wrmsr, 0);  // turbo disengaged: counters untouched
}

TEST_F(CpuPass, SendsDiagnosticLinesOnlyWhenAsked) {
  HaswellRegisters(true);
  auto s = MakeIntel(0x306C3, 1);
  gFakeCpu.SetMsrAll(0x30A, 38000);
  gFakeCpu.SetMsrAll(0x30B, 34000);
  Pass(*s, 3400.0);
  EXPECT_TRUE(Lines.empty());

  s->DebugOutput = true;
  gFakeCpu.SetMsrAll(0x30A, 76000);
  gFakeCpu.SetMsrAll(0x30B, 68000);
  Pass(*s, 3400.5);
  ASSERT_EQ(Lines.size(), 2u);
  EXPECT_EQ(Lines[0], "TSCClock: 3400.500000 Mhz (TSCTime 1.000000)");
  EXPECT_EQ(Lines[1], "Core #01: 3400.500000 Mhz (IDA 38, FID 34.0)");

  s->DecimalSeparator = ',';
  Lines.clear();
  Pass(*s, 3400.5);
  ASSERT_EQ(Lines.size(), 1u);
  EXPECT_EQ(Lines[0], "TSCClock: 3400,500000 Mhz (TSCTime 1,000000)");
}

TEST_F(CpuPass, AmdK8ReadsTheSelectedCoreSensor) {
  auto s = MakeAmd(0x020FB1, 2);
  ASSERT_EQ(s->ThermalDevice, 0xC3u);
  gFakeCpu.K8Sensors = true;
  gFakeCpu.SetPciReg(0xC3, 0xE4, 0xABCD0007);
  gFakeCpu.K8Reading[0] = 40;
  gFakeCpu.K8Reading[1] = 100;
  Pass(*s, 2200.0);
  EXPECT_EQ(s->GetTemperature(0), -9.0);
  EXPECT_EQ(s->GetTemperature(1), 51.0);
  EXPECT_DOUBLE_EQ(s->CpuClock, 2200.0);
  EXPECT_EQ(gFakeCpu.WritePci, 2);

  gFakeCpu.K8Reading[0] = 0xFF;  // no reading: entry 0 keeps its value
  gFakeCpu.K8Reading[1] = 60;
  Pass(*s, 2200.0);
  EXPECT_EQ(s->GetTemperature(0), -9.0);
  EXPECT_EQ(s->GetTemperature(1), 11.0);
}

// The core is selected at the fixed address 0xC3 whatever device the
// thermal registers were found at, with the value read from that device:
// bit 2 cleared (and the upper half dropped) for core 0, set for core 1.
TEST_F(CpuPass, AmdK8SelectsTheCoreAt0xC3WithTheValueItRead) {
  std::memcpy(gFakeCpu.Vendor, "AuthenticAMD", 13);
  gFakeCpu.Signature = 0x020FB1;
  gFakeCpu.Processors = 2;
  gFakeCpu.AddDevice(0x1103, 0x1C3);  // bus 1, device 24, function 3
  auto s = Make(2);
  ASSERT_EQ(s->ThermalDevice, 0x1C3u);
  gFakeCpu.K8Sensors = true;
  gFakeCpu.SetPciReg(0x1C3, 0xE4, 0xABCD5A37);
  gFakeCpu.K8Reading[0] = 70;
  gFakeCpu.K8Reading[1] = 80;
  Pass(*s, 2200.0);
  ASSERT_EQ(gFakeCpu.WritePci, 2);
  // Both reads come before core 1 is selected, so both show sensor 0.
  const uint32_t read = 0xAB005A37u | 70u << 16;
  EXPECT_EQ(gFakeCpu.PciWrites[0].Address, 0xC3u);
  EXPECT_EQ(gFakeCpu.PciWrites[0].Reg, 0xE4);
  EXPECT_EQ(gFakeCpu.PciWrites[0].Value, read & 0xFFFBu);
  EXPECT_EQ(gFakeCpu.PciWrites[1].Address, 0xC3u);
  EXPECT_EQ(gFakeCpu.PciWrites[1].Reg, 0xE4);
  EXPECT_EQ(gFakeCpu.PciWrites[1].Value, read | 4u);
  EXPECT_EQ(gFakeCpu.FindPciReg(0x1C3, 0xE4)[0], 0xABCD5A37u);  // the thermal device itself is not written
  EXPECT_EQ(s->GetTemperature(0), 21.0);
  EXPECT_EQ(s->GetTemperature(1), 31.0);
}

TEST_F(CpuPass, AmdK8WritesOnlyTheFirstTwoEntries) {
  for (int processors : {1, 4}) {
    SCOPED_TRACE(processors);
    SetUp();
    auto s = MakeAmd(0x020FB1, processors);
    gFakeCpu.K8Sensors = true;
    gFakeCpu.SetPciReg(0xC3, 0xE4, 0);
    gFakeCpu.K8Reading[0] = 90;
    gFakeCpu.K8Reading[1] = 91;
    Pass(*s, 2200.0);
    EXPECT_EQ(s->GetTemperature(0), 41.0);
    EXPECT_EQ(s->GetTemperature(1), processors > 1 ? 42.0 : 0.0);
    EXPECT_EQ(s->GetTemperature(2), 0.0);
    EXPECT_EQ(s->GetTemperature(3), 0.0);
  }
}

TEST_F(CpuPass, AmdLaterFamiliesCopyThePackageReading) {
  struct Case {
    uint32_t Signature;
    uint32_t Raw;  // bits 31..21 of register 0xA4
    double Temperature;
  } cases[] = {
      {0x100F42, 0x1A5, 52.625},  // 10h: 0.125 steps
      {0x600F02, 0x1A5, 52.5},    // 15h model 0: 0.5 steps
      {0x600F02, 0x1A7, 52.5},
      {0x600F31, 0x1A5, 52.625},  // 15h model 3: 0.125 steps
      {0x700F01, 0x7FF, 255.875}, // 16h: the full 11 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Signature << " " << c.Raw);
    SetUp();
    auto s = MakeAmd(c.Signature, 4);
    gFakeCpu.SetPciReg(0xC3, 0xA4, c.Raw << 21 | 0x1FFFFF);
    Pass(*s, 3000.0);
    for (uint32_t p = 0; p < 4; ++p) EXPECT_EQ(s->GetTemperature(p), c.Temperature);
    EXPECT_DOUBLE_EQ(s->CpuClock, 3000.0);
  }
}

TEST_F(CpuPass, AmdWithoutThermalDeviceReadsNothing) {
  std::memcpy(gFakeCpu.Vendor, "AuthenticAMD", 13);
  gFakeCpu.Signature = 0x100F42;
  gFakeCpu.Processors = 2;
  auto s = Make(2);
  ASSERT_EQ(s->ThermalDevice, kPciNotFound);
  Pass(*s, 3000.0);
  EXPECT_EQ(gFakeCpu.ReadPci, 0);
  EXPECT_EQ(s->GetTemperature(0), 0.0);
  EXPECT_DOUBLE_EQ(s->CpuClock, 3000.0);
}

// ---- Intel processors named by model -----------------------------------------

// A readout with bit 23 set: an 8-bit row takes 134 degrees below the target,
// a 7-bit row (and every generation of the first table) 6.
TEST_F(CpuPass, ReadsTheDigitalReadoutAsWideAsTheRowSays) {
  struct Case {
    uint32_t Signature;
    double Temperature;
  } cases[] = {
      {0x806C1, 100.0 - 0x86},  // Tiger Lake: 8 bits
      {0x90672, 100.0 - 0x86},  // Alder Lake: 8 bits
      {0xA0655, 100.0 - 0x06},  // Comet Lake: 7 bits
      {0x506C9, 100.0 - 0x06},  // Goldmont: 7 bits
      {0x306C3, 100.0 - 0x06},  // Haswell: as it always was
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Signature);
    SetUp();
    gFakeCpu.Processors = 2;
    HaswellRegisters(false);
    gFakeCpu.SetMsrAll(0x19C, kValid | 0x86u << 16);
    auto s = MakeIntel(c.Signature, 2);
    Pass(*s, 3400.0);
    EXPECT_EQ(s->GetTemperature(0), c.Temperature);
    EXPECT_EQ(s->GetTemperature(1), c.Temperature);
    EXPECT_DOUBLE_EQ(s->CpuClock, 3400.0);  // the multiplier clock model
  }
}

// 8 performance cores with two threads (targets 100) and 8 efficient cores
// (target 90) on 24 logical processors: every processor, past the 16 the
// block holds too, counts down from its own target and gives its ratio.
TEST_F(CpuPass, HybridPartsCountEachTemperatureFromItsOwnTarget) {
  constexpr int kThreads = 24;
  gFakeCpu.Processors = kThreads;
  HaswellRegisters(false);
  for (int p = 16; p < kThreads; ++p) gFakeCpu.SetMsr(p, 0x1A2, 90u << 16);
  for (int p = 0; p < kThreads; ++p) gFakeCpu.SetMsr(p, 0x19C, kValid | (20u + p) << 16);
  gFakeCpu.SetMsr(23, 0x198, 45u << 8);
  auto s = MakeIntel(0x90672, kThreads);
  EXPECT_EQ(s->TjMax, 100.0);  // processor 0's
  Pass(*s, 3400.0);
  for (int p = 0; p < kThreads; ++p)
    EXPECT_EQ(s->GetTemperature(p), (p < 16 ? 100.0 : 90.0) - (20 + p)) << p;
  EXPECT_EQ(s->Multiplier, 45.0);
  EXPECT_DOUBLE_EQ(s->CpuClock, 4500.0);
  EXPECT_EQ(gFakeCpu.BadMasks, 0);

  // A processor whose own target could not be read gives no reading.
  SetUp();
  gFakeCpu.Processors = 2;
  HaswellRegisters(false);
  gFakeCpu.SetMsr(1, 0x1A2, 0);
  gFakeCpu.SetMsrAll(0x19C, kValid | 30u << 16);
  auto t = MakeIntel(0x90672, 2);
  Pass(*t, 3400.0);
  EXPECT_EQ(t->GetTemperature(0), 70.0);
  EXPECT_EQ(t->GetTemperature(1), 0.0);

  // A part that is not hybrid takes processor 0's target everywhere.
  SetUp();
  gFakeCpu.Processors = 2;
  HaswellRegisters(false);
  gFakeCpu.SetMsr(1, 0x1A2, 90u << 16);
  gFakeCpu.SetMsrAll(0x19C, kValid | 30u << 16);
  auto u = MakeIntel(0x806C1, 2);
  Pass(*u, 3400.0);
  EXPECT_EQ(u->GetTemperature(1), 70.0);
}

// A back end that refuses the fixed counters and their control (and 0x1A0)
// gives the effective ratio from APERF/MPERF by the same rule; one that
// serves them keeps the fixed counters.
TEST_F(CpuPass, EffectiveRatioFromAperfWhenTheFixedCountersAreRefused) {
  struct Case {
    bool Refused;
    uint64_t dAperf, dMperf;
    double Multiplier;
  } cases[] = {
      {true, 45 * 1000, 32 * 1000, 45},  // above the base: replaces the status ratio
      {true, 32 * 1000, 32 * 1000, 30},  // equal: status ratio
      {false, 45 * 1000, 32 * 1000, 38}, // fixed counters served: they count
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Refused);
    SetUp();
    gFakeCpu.Processors = 2;
    HaswellRegisters(true);
    gFakeCpu.SetMsrAll(0xCE, 32u << 8);
    gFakeCpu.SetMsrAll(0x198, 30u << 8);
    gFakeCpu.SetMsrAll(0x30A, 38 * 1000);
    gFakeCpu.SetMsrAll(0x30B, 32 * 1000);
    gFakeCpu.SetMsrAll(0xE8, c.dAperf);
    gFakeCpu.SetMsrAll(0xE7, c.dMperf);
    if (c.Refused)
      for (uint32_t msr : {0x1A0u, 0x30Au, 0x30Bu, 0x38Du, 0x38Fu}) gFakeCpu.Refuse(msr);
    auto s = MakeIntel(0x90672, 2);
    EXPECT_TRUE(s->IdaEnabled);
    Pass(*s, 3200.0);
    EXPECT_EQ(s->Multiplier, c.Multiplier);
    EXPECT_DOUBLE_EQ(s->CpuClock, c.Multiplier * 100.0);
  }
}

// ---- AMD Zen -----------------------------------------------------------------

namespace {

// Raw Tctl for a temperature, and a valid CCD register for one.
constexpr uint32_t Tctl(double celsius) { return static_cast<uint32_t>(celsius * 8) << 21; }
constexpr uint32_t Ccd(double celsius) { return 0x800u | static_cast<uint32_t>((celsius + 49) * 8); }

void SetBrand(const char* brand) {
  char text[48] = {};
  std::strncpy(text, brand, sizeof text - 1);
  gFakeCpu.SetLeaf(0x80000000, -1, 0x80000020, 0, 0, 0);
  for (uint32_t i = 0; i < 3; ++i) {
    uint32_t r[4];
    std::memcpy(r, text + 16 * i, 16);
    gFakeCpu.SetLeaf(0x80000002 + i, -1, r[0], r[1], r[2], r[3]);
  }
}

// Two threads a core; core ids count up from 0.
void SetCoreIds(int processors) {
  for (int p = 0; p < processors; ++p)
    gFakeCpu.SetLeaf(0x8000001E, p, 0, 0x100u | static_cast<uint32_t>(p / 2), 0, 0);
}

}  // namespace

class ZenPass : public CpuPass {
 protected:
  // A Zen processor with an AMD root complex, brand and core ids; the
  // access goes through the library back end with its platform hooks.
  std::unique_ptr<tCpuSampler> MakeZen(uint32_t signature, int processors, const char* brand) {
    std::memcpy(gFakeCpu.Vendor, "AuthenticAMD", 13);
    gFakeCpu.Signature = signature;
    gFakeCpu.Processors = processors;
    gFakeCpu.SetPciReg(0, 0, 0x14501022);
    SetBrand(brand);
    SetCoreIds(processors);
    Library.Api = &Api;
    Library.Hooks.PinnedCpuid = &FakePinnedCpuid;
    Library.Hooks.LockPci = &ZenPass::Lock;
    Library.Hooks.UnlockPci = &ZenPass::Unlock;
    Access = MakeDriverAccess(Library);
    auto s = std::make_unique<tCpuSampler>(processors);
    s->Identify(Access);
    s->ReadStartupRegisters(Access);
    s->PerformanceFrequency = 1000000;
    return s;
  }
  void ZenPassOnce(tCpuSampler& s, double tscMhz) {
    tFakeCounter::Value += 1000000;
    gFakeCpu.Tsc += static_cast<uint64_t>(tscMhz * 1e6 + 0.5);
    s.RunPass(Access, &tFakeCounter::Read);
  }
  static bool Lock() {
    ++Locks;
    return !LockRefused;
  }
  static void Unlock() { ++Unlocks; }

  void SetUp() override {
    CpuPass::SetUp();
    Locks = Unlocks = 0;
    LockRefused = false;
  }

  tDriverAccess Library;
  tRegisterAccess Access{};
  static inline int Locks = 0, Unlocks = 0;
  static inline bool LockRefused = false;
};

// Tctl bits 31..21 in eighths of a degree, 49 below when bit 19 or both of
// bits 17..16 are set; Tdie = Tctl minus the brand's offset. Without CCD
// readings every slot holds Tdie.
TEST_F(ZenPass, DieTemperatureFromTctlAndTheBrandOffset) {
  struct Case {
    uint32_t Signature;
    const char* Brand;
    uint32_t Tctl;
    double Die;
  } cases[] = {
      {0x800F82, "AMD Ryzen 7 2700X Eight-Core Processor", Tctl(55.0), 45.0},
      {0x800F11, "AMD Ryzen 7 1800X Eight-Core Processor", Tctl(70.5), 50.5},
      {0x800F82, "AMD Ryzen Threadripper 2950X 16-Core Processor", Tctl(80.0), 53.0},
      {0xA20F10, "AMD Ryzen 9 5950X 16-Core Processor", Tctl(60.125), 60.125},
      {0xA20F10, "AMD Ryzen 9 5950X 16-Core Processor", Tctl(100.0) | 1u << 19, 51.0},
      {0xA20F10, "AMD Ryzen 9 5950X 16-Core Processor", Tctl(100.0) | 3u << 16, 51.0},
      {0xA20F10, "AMD Ryzen 9 5950X 16-Core Processor", Tctl(100.0) | 1u << 16, 100.0},
      {0xA20F10, "AMD Ryzen 9 5950X 16-Core Processor", Tctl(100.0) | 1u << 17, 100.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Brand << " 0x" << std::hex << c.Tctl);
    SetUp();
    gFakeCpu.SetSmn(0x59800, c.Tctl);
    auto s = MakeZen(c.Signature, 4, c.Brand);
    ASSERT_EQ(s->GetGeneration(), kGenZen);
    EXPECT_STREQ(s->Brand, c.Brand);
    ZenPassOnce(*s, 3700.0);
    for (int p = 0; p < 4; ++p) EXPECT_EQ(s->GetTemperature(p), c.Die) << p;
    EXPECT_EQ(Locks, 1);
    EXPECT_EQ(Unlocks, 1);
  }
}

// Each processor's slot holds the temperature of its CCD (core id / 8),
// read at the row's offset; a CCD without its valid bit falls back to Tdie.
TEST_F(ZenPass, EachProcessorTakesItsCcdTemperature) {
  struct Case {
    uint32_t Signature;
    uint32_t FirstCcd;  // SMN address of CCD 0
  } cases[] = {
      {0xA20F10, 0x59954},  // Zen 3 (Vermeer)
      {0xA60F12, 0x59B08},  // Zen 4 (Raphael)
      {0xA10F11, 0x59B00},  // Zen 4 (Genoa)
      {0xB40F40, 0x59B08},  // Zen 5 (Granite Ridge)
  };
  constexpr int kThreads = 32;  // 16 cores: core ids 0..7 on CCD 0, 8..15 on CCD 1
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Signature);
    SetUp();
    gFakeCpu.SetSmn(0x59800, Tctl(66.0));
    gFakeCpu.SetSmn(c.FirstCcd, Ccd(58.5));
    gFakeCpu.SetSmn(c.FirstCcd + 4, Ccd(52.0));
    auto s = MakeZen(c.Signature, kThreads, "AMD Ryzen 9 16-Core Processor");
    EXPECT_EQ(s->GetCcd(0), 0);
    EXPECT_EQ(s->GetCcd(15), 0);
    EXPECT_EQ(s->GetCcd(16), 1);
    EXPECT_EQ(s->GetCcd(31), 1);
    ZenPassOnce(*s, 3400.0);
    for (int p = 0; p < kThreads; ++p) EXPECT_EQ(s->GetTemperature(p), p < 16 ? 58.5 : 52.0) << p;

    gFakeCpu.SetSmn(c.FirstCcd + 4, 0x3FF);  // no valid bit
    ZenPassOnce(*s, 3400.0);
    EXPECT_EQ(s->GetTemperature(0), 58.5);
    EXPECT_EQ(s->GetTemperature(31), 66.0);
  }
}

// All-ones reads, a root complex of another vendor, a lock not taken and a
// virtual machine without registers give no reading: the slots keep what
// they had (0 at start), never 255.875 or -49.
TEST_F(ZenPass, NoReadingKeepsTheSlots) {
  struct Case {
    const char* What;
    void (*Break)();
  } cases[] = {
      {"all ones", [] {
         gFakeCpu.SetSmn(0x59800, 0xFFFFFFFFu);
         gFakeCpu.SetSmn(0x59954, 0xFFFFFFFFu);
       }},
      {"unset", [] { gFakeCpu.SmnCount = 0; }},
      {"other root complex", [] { gFakeCpu.SetPciReg(0, 0, 0x12378086); }},
      {"no root complex", [] { gFakeCpu.SetPciReg(0, 0, 0xFFFFFFFFu); }},
      {"lock not taken", [] { LockRefused = true; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    SetUp();
    auto s = MakeZen(0xA20F10, 2, "AMD Ryzen 7 5800X 8-Core Processor");
    c.Break();
    ZenPassOnce(*s, 3800.0);
    EXPECT_EQ(s->GetTemperature(0), 0.0);
    EXPECT_EQ(s->GetTemperature(1), 0.0);

    SetUp();
    auto t = MakeZen(0xA20F10, 2, "AMD Ryzen 7 5800X 8-Core Processor");
    gFakeCpu.SetSmn(0x59800, Tctl(61.0));
    gFakeCpu.SetSmn(0x59954, Ccd(57.25));
    ZenPassOnce(*t, 3800.0);
    EXPECT_EQ(t->GetTemperature(0), 57.25);
    gFakeCpu.SmnCount = 0;
    gFakeCpu.SetSmn(0x59800, Tctl(62.0));
    gFakeCpu.SetSmn(0x59954, Ccd(58.0));
    c.Break();
    ZenPassOnce(*t, 3800.0);
    EXPECT_EQ(t->GetTemperature(0), 57.25);
    EXPECT_EQ(t->GetTemperature(1), 57.25);
    EXPECT_EQ(Unlocks, LockRefused ? Locks - 1 : Locks);  // released exactly when taken
  }
}

// The effective clock is the TSC clock times dAPERF/dMPERF of the busiest
// processor, from the read-only copies or, refused, the architectural
// registers; without either it is the TSC clock.
TEST_F(ZenPass, EffectiveClockFromAperfAndMperf) {
  struct Case {
    const char* What;
    bool RefuseCopies, RefuseArchitectural;
    double CpuClock;
  } cases[] = {
      {"copies", false, false, 3400.0 * 45 / 34},
      {"architectural", true, false, 3400.0 * 41 / 34},
      {"none", true, true, 3400.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    SetUp();
    auto s = MakeZen(0xA20F10, 2, "AMD Ryzen 7 5800X 8-Core Processor");
    gFakeCpu.SetMsr(0, 0xC00000E8, 40 * 1000);
    gFakeCpu.SetMsr(1, 0xC00000E8, 45 * 1000);
    gFakeCpu.SetMsrAll(0xC00000E7, 34 * 1000);
    gFakeCpu.SetMsrAll(0xE8, 41 * 1000);
    gFakeCpu.SetMsrAll(0xE7, 34 * 1000);
    if (c.RefuseCopies) {
      gFakeCpu.Refuse(0xC00000E8);
      gFakeCpu.Refuse(0xC00000E7);
    }
    if (c.RefuseArchitectural) {
      gFakeCpu.Refuse(0xE8);
      gFakeCpu.Refuse(0xE7);
    }
    ZenPassOnce(*s, 3400.0);
    EXPECT_DOUBLE_EQ(s->TscClock, 3400.0);
    EXPECT_NEAR(s->CpuClock, c.CpuClock, 1e-9);
    EXPECT_EQ(s->Multiplier, 0.0);
    EXPECT_EQ(s->BusClock, 0.0);

    // Counters standing still since the last pass give no clock of their own.
    ZenPassOnce(*s, 3400.0);
    EXPECT_DOUBLE_EQ(s->CpuClock, 3400.0);
  }
}

// A virtual machine: real Zen 3 CPUID, no MSRs, all-ones PCI.
TEST_F(ZenPass, VirtualMachineGivesNameAndTscClockOnly) {
  auto s = MakeZen(0xA00F11, 4, "AMD EPYC 7763 64-Core Processor");
  gFakeCpu.PciRegCount = 0;
  gFakeCpu.NoMsrs = true;
  EXPECT_EQ(s->GetModelName(), "Zen 3 (Family 25 Model  1)");
  ZenPassOnce(*s, 2450.0);
  ZenPassOnce(*s, 2450.0);
  EXPECT_DOUBLE_EQ(s->TscClock, 2450.0);
  EXPECT_DOUBLE_EQ(s->CpuClock, 2450.0);
  EXPECT_EQ(s->TjMax, 0.0);
  for (int p = 0; p < 4; ++p) EXPECT_EQ(s->GetTemperature(p), 0.0) << p;
}
