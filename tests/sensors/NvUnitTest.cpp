#include "applet/sensors/NvUnit.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// One fake GPU: what each query answers. The handle given to the reader is
// the address of the fake.
struct TFakeGpu {
  TNvStatus thermalStatus = 0, coolerStatus = 0, usageStatus = 0, clockStatus = 0, tachStatus = 0;
  int32_t temp[3] = {0, 0, 0};
  int32_t target[3] = {0, 0, 0};
  uint32_t coolerCount = 1, coolerLevel = 0;
  uint32_t gpuUsage = 0, memUsage = 0;
  uint32_t coreKHz = 0, memKHz = 0, altKHz = 0;
  uint32_t rpm = 0;
  int thermalCalls = 0;
};

struct TFakeDriver {
  TNvStatus enumStatus = 0;
  uint32_t count = 0;
  TFakeGpu gpu[3];
  bool versionsOk = true;
} g;

TFakeGpu& Gpu(TNvGpuHandle h) { return *static_cast<TFakeGpu*>(h); }

TNvStatus Enum(TNvGpuHandle handles[kNvMaxPhysicalGpus], uint32_t* count) {
  for (uint32_t i = 0; i < g.count; ++i) handles[i] = &g.gpu[i];
  *count = g.count;
  return g.enumStatus;
}

TNvStatus Thermal(TNvGpuHandle h, int32_t sensorIndex, TNvThermalSettings* s) {
  TFakeGpu& f = Gpu(h);
  ++f.thermalCalls;
  g.versionsOk &= s->version == 0x00010044u && sensorIndex == 15;
  auto* bytes = reinterpret_cast<unsigned char*>(s);
  for (int slot = 0; slot < 3; ++slot) {
    std::memcpy(bytes + 8 + 20 * slot + 12, &f.temp[slot], 4);
    std::memcpy(bytes + 8 + 20 * slot + 16, &f.target[slot], 4);
  }
  return f.thermalStatus;
}

TNvStatus Cooler(TNvGpuHandle h, int32_t index, TNvCoolerSettings* s) {
  TFakeGpu& f = Gpu(h);
  g.versionsOk &= s->version == 0x000203C8u && index == 0;
  auto* bytes = reinterpret_cast<unsigned char*>(s);
  std::memcpy(bytes + 4, &f.coolerCount, 4);
  std::memcpy(bytes + 32, &f.coolerLevel, 4);
  return f.coolerStatus;
}

TNvStatus Usages(TNvGpuHandle h, TNvUsages* u) {
  TFakeGpu& f = Gpu(h);
  g.versionsOk &= u->version == 0x00010088u;
  auto* bytes = reinterpret_cast<unsigned char*>(u);
  std::memcpy(bytes + 12, &f.gpuUsage, 4);
  std::memcpy(bytes + 28, &f.memUsage, 4);
  return f.usageStatus;
}

TNvStatus Clocks(TNvGpuHandle h, TNvAllClocks* c) {
  TFakeGpu& f = Gpu(h);
  g.versionsOk &= c->version == 0x00020484u;
  auto* bytes = reinterpret_cast<unsigned char*>(c);
  std::memcpy(bytes + 4, &f.coreKHz, 4);
  std::memcpy(bytes + 36, &f.memKHz, 4);
  std::memcpy(bytes + 124, &f.altKHz, 4);
  return f.clockStatus;
}

TNvStatus Tach(TNvGpuHandle h, uint32_t* rpm) {
  TFakeGpu& f = Gpu(h);
  g.versionsOk &= *rpm == 0;  // cleared before the call
  *rpm = f.rpm;
  return f.tachStatus;
}

const TNvApiTable kTable{&Enum, &Thermal, &Cooler, &Usages, &Clocks, &Tach};

// Values of one adapter in getter order: rpm, fan, temp, usage, vram, core, mem.
std::vector<int64_t> Values(const tNvGPU& r, uint32_t i) {
  return {r.GetFanRPM(i), r.GetFanSpeed(i), r.GetTemperature(i), r.GetUsage(i),
          r.GetVRamUsage(i), r.GetCoreClock(i), r.GetMemClock(i)};
}

void SetAll(TFakeGpu& f, int32_t temp, uint32_t level, uint32_t usage, uint32_t rpm, uint32_t core, uint32_t mem) {
  f.temp[0] = temp;
  f.target[0] = 1;
  f.coolerLevel = level;
  f.gpuUsage = usage;
  f.memUsage = usage / 2;
  f.rpm = rpm;
  f.coreKHz = core;
  f.memKHz = mem;
}

class NvGpuTest : public ::testing::Test {
 protected:
  void SetUp() override { g = TFakeDriver{}; }
};

TEST_F(NvGpuTest, NoInterfaceOrFailedEnumerationMeansNoAdapters) {
  tNvGPU none(nullptr);
  none.Update();
  EXPECT_EQ(none.AdapterCount, 0u);
  EXPECT_EQ(none.GetTemperature(0), 0);

  g.count = 2;
  g.enumStatus = -6;
  tNvGPU failed(&kTable);
  EXPECT_EQ(failed.AdapterCount, 0u);

  const TNvApiTable fallback = NvFallbackTable();
  tNvGPU unimplemented(&fallback);
  EXPECT_EQ(unimplemented.AdapterCount, 0u);
}

TEST_F(NvGpuTest, ReadsEveryValueInItsUnitAndSendsVersionWords) {
  g.count = 2;
  SetAll(g.gpu[0], 55, 40, 30, 1500, 405000, 1848000);
  SetAll(g.gpu[1], 70, 80, 90, 2500, 1000499, 2000500);
  tNvGPU r(&kTable);
  ASSERT_EQ(r.AdapterCount, 2u);
  EXPECT_EQ(Values(r, 0), std::vector<int64_t>(7, 0));  // nothing before the first Update
  r.Update();
  EXPECT_TRUE(g.versionsOk);
  EXPECT_EQ(Values(r, 0), (std::vector<int64_t>{1500, 40, 55, 30, 15, 405, 1848}));
  EXPECT_EQ(Values(r, 1), (std::vector<int64_t>{2500, 80, 70, 90, 45, 1000, 2001}));
  // One past the last adapter, and far past it.
  EXPECT_EQ(Values(r, 2), std::vector<int64_t>(7, 0));
  EXPECT_EQ(Values(r, 0xFFFFFFFFu), std::vector<int64_t>(7, 0));
}

TEST_F(NvGpuTest, AlternativeCoreClockWordReplacesWordZero) {
  struct Case {
    uint32_t core, alt, expected;
  };
  const Case cases[] = {{405000, 0, 405}, {405000, 1620000, 810}, {405000, 1001, 1}, {405000, 999, 0}};
  g.count = 1;
  for (const Case& c : cases) {
    g.gpu[0].coreKHz = c.core;
    g.gpu[0].altKHz = c.alt;
    tNvGPU r(&kTable);
    r.Update();
    EXPECT_EQ(r.GetCoreClock(0), c.expected) << c.alt;
  }
}

TEST_F(NvGpuTest, FailedThermalQueryKeepsAllSevenValues) {
  g.count = 1;
  SetAll(g.gpu[0], 55, 40, 30, 1500, 405000, 1848000);
  tNvGPU r(&kTable);
  r.Update();
  const auto before = Values(r, 0);
  SetAll(g.gpu[0], 99, 99, 99, 9999, 999000, 999000);
  g.gpu[0].thermalStatus = -1;
  r.Update();
  EXPECT_EQ(Values(r, 0), before);
}

TEST_F(NvGpuTest, LastSensorWithGpuTargetGivesTheTemperature) {
  g.count = 1;
  TFakeGpu& f = g.gpu[0];
  f.temp[0] = 40;
  f.temp[1] = 50;
  f.temp[2] = 60;
  f.target[0] = 2;
  f.target[1] = 0x101;  // only the low byte names the target
  f.target[2] = 4;
  tNvGPU r(&kTable);
  r.Update();
  EXPECT_EQ(r.GetTemperature(0), 50);
  f.target[1] = 0;
  f.target[2] = 1;
  r.Update();
  EXPECT_EQ(r.GetTemperature(0), 60);
  f.target[2] = 3;  // no slot targets the GPU: the value stays
  f.temp[2] = 10;
  r.Update();
  EXPECT_EQ(r.GetTemperature(0), 60);
}

TEST_F(NvGpuTest, FailingStepsKeepOnlyTheirValues) {
  g.count = 1;
  TFakeGpu& f = g.gpu[0];
  SetAll(f, 55, 40, 30, 1500, 405000, 1848000);
  tNvGPU r(&kTable);
  r.Update();
  SetAll(f, 66, 50, 60, 1600, 500000, 900000);
  f.coolerCount = 0;  // a cooler report without coolers keeps the fan speed
  f.usageStatus = kNvNoImplementation;
  f.tachStatus = -5;
  r.Update();
  EXPECT_EQ(Values(r, 0), (std::vector<int64_t>{1500, 40, 66, 30, 15, 500, 900}));
  f.coolerCount = 1;
  f.usageStatus = 0;
  f.clockStatus = -1;
  f.tachStatus = 0;
  r.Update();
  EXPECT_EQ(Values(r, 0), (std::vector<int64_t>{1600, 50, 66, 60, 30, 500, 900}));
}

TEST_F(NvGpuTest, MissingEntryPointsAnswerNotImplemented) {
  const TNvApiTable t = NvFallbackTable();
  TNvThermalSettings s{};
  uint32_t rpm = 0;
  EXPECT_EQ(t.GetThermalSettings(nullptr, 15, &s), kNvNoImplementation);
  EXPECT_EQ(t.GetTachReading(nullptr, &rpm), kNvNoImplementation);
  EXPECT_EQ(t.EnumPhysicalGPUs(nullptr, &rpm), kNvNoImplementation);
}

// A query function over a small id table, for the resolving rules.
struct TQuery {
  bool hasInit = true;
  TNvStatus initStatus = 0;
  bool hasTach = true;
} q;

TNvStatus FakeInit() { return q.initStatus; }

void* FakeQuery(uint32_t id) {
  switch (id) {
    case kNvIdInitialize:
      return q.hasInit ? reinterpret_cast<void*>(&FakeInit) : nullptr;
    case kNvIdEnumPhysicalGPUs:
      return reinterpret_cast<void*>(&Enum);
    case kNvIdGetThermalSettings:
      return reinterpret_cast<void*>(&Thermal);
    case kNvIdGetTachReading:
      return q.hasTach ? reinterpret_cast<void*>(&Tach) : nullptr;
    default:
      return nullptr;
  }
}

TEST_F(NvGpuTest, ResolvingFailsOnlyOnMissingOrNegativeInitialisation) {
  struct Case {
    bool hasInit;
    TNvStatus initStatus;
    int32_t expected;
  };
  const Case cases[] = {{true, 0, 0}, {true, 1, 0}, {true, -1, -1}, {false, 0, -1}};
  for (const Case& c : cases) {
    q = TQuery{c.hasInit, c.initStatus, true};
    TNvApiTable t{};
    EXPECT_EQ(ResolveNvApi(&FakeQuery, t), c.expected) << c.initStatus;
  }
  EXPECT_EQ(ResolveNvApi(nullptr, *std::make_unique<TNvApiTable>()), -1);
}

TEST_F(NvGpuTest, UnansweredIdsFallBackAndKeepTheirValues) {
  q = TQuery{};
  q.hasTach = false;
  TNvApiTable t{};
  ASSERT_EQ(ResolveNvApi(&FakeQuery, t), 0);
  g.count = 1;
  SetAll(g.gpu[0], 55, 40, 30, 1500, 405000, 1848000);
  tNvGPU r(&t);
  ASSERT_EQ(r.AdapterCount, 1u);
  r.Update();
  // Thermal answered; cooler, usages, clocks and tachometer are not provided.
  EXPECT_EQ(Values(r, 0), (std::vector<int64_t>{0, 0, 55, 0, 0, 0, 0}));
}

}  // namespace
