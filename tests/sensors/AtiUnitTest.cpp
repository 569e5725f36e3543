#include "applet/sensors/ATIUnit.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Fake adapters, found by the adapter index the library put in the info
// records (deliberately not the position in the array).
struct TFakeAdapter {
  int32_t index = 0;
  int32_t activeStatus = 0, active = 1;
  int32_t fanInfoStatus = 0, fanFlags = 1;
  int32_t fanStatus = 0, fanSpeed = 0;
  int32_t activityStatus = 0, engine = 0, memory = 0, percent = 0;
  int32_t tempStatus = 0, temp = 0;
  int fanInfoCalls = 0, updateCalls = 0;
};

struct TFakeLib {
  int32_t countStatus = 0;
  int32_t count = 0;
  int32_t infoStatus = 0;
  int32_t infoBytes = 0;
  std::vector<TFakeAdapter> adapters;
  int destroyCalls = 0;
  bool structuresOk = true;
} g;

TFakeAdapter* Find(int32_t index) {
  for (TFakeAdapter& a : g.adapters)
    if (a.index == index) return &a;
  ADD_FAILURE() << "asked for unknown adapter index " << index;
  return nullptr;
}

int32_t Count(int32_t* n) {
  *n = g.count;
  return g.countStatus;
}
int32_t Info(TAdlAdapterInfo* info, int32_t bytes) {
  g.infoBytes = bytes;
  for (size_t i = 0; i < g.adapters.size() && (i + 1) * 1572 <= static_cast<size_t>(bytes); ++i)
    reinterpret_cast<int32_t*>(reinterpret_cast<unsigned char*>(info) + 1572 * i)[1] = g.adapters[i].index;
  return g.infoStatus;
}
int32_t Active(int32_t index, int32_t* active) {
  TFakeAdapter* a = Find(index);
  if (!a) return -1;
  *active = a->active;
  return a->activeStatus;
}
int32_t FanInfo(int32_t index, int32_t controller, TAdlFanSpeedInfo* info) {
  TFakeAdapter* a = Find(index);
  if (!a) return -1;
  ++a->fanInfoCalls;
  g.structuresOk &= controller == 0 && info->size == 24;
  info->flags = a->fanFlags;
  return a->fanInfoStatus;
}
int32_t Fan(int32_t index, int32_t controller, TAdlFanSpeedValue* v) {
  TFakeAdapter* a = Find(index);
  if (!a) return -1;
  ++a->updateCalls;
  g.structuresOk &= controller == 0 && v->size == 16 && v->speedType == kAdlFanSpeedPercent;
  v->fanSpeed = a->fanSpeed;
  return a->fanStatus;
}
int32_t Activity(int32_t index, TAdlActivity* act) {
  TFakeAdapter* a = Find(index);
  if (!a) return -1;
  ++a->updateCalls;
  g.structuresOk &= act->size == 40;
  act->engineClock = a->engine;
  act->memoryClock = a->memory;
  act->activityPercent = a->percent;
  return a->activityStatus;
}
int32_t Temp(int32_t index, int32_t controller, TAdlTemperature* t) {
  TFakeAdapter* a = Find(index);
  if (!a) return -1;
  ++a->updateCalls;
  g.structuresOk &= controller == 0 && t->size == 8;
  t->temperature = a->temp;
  return a->tempStatus;
}
int32_t Destroy() {
  ++g.destroyCalls;
  return 0;
}

const TAdlApi kApi{&Count, &Info, &Active, &FanInfo, &Fan, &Activity, &Temp, &Destroy};

// Values in getter order: core, mem, usage, fan, temperature.
std::vector<int32_t> Values(const tAtiGPU& r, uint32_t i) {
  return {r.GetCoreClock(i), r.GetMemClock(i), r.GetUsage(i), r.GetFanSpeed(i), r.GetTemperature(i)};
}

TFakeAdapter Adapter(int32_t index, int32_t engine, int32_t memory, int32_t percent, int32_t fan, int32_t temp) {
  TFakeAdapter a;
  a.index = index;
  a.engine = engine;
  a.memory = memory;
  a.percent = percent;
  a.fanSpeed = fan;
  a.temp = temp;
  return a;
}

class AtiGpuTest : public ::testing::Test {
 protected:
  void SetUp() override { g = TFakeLib{}; }
  void Use(std::vector<TFakeAdapter> adapters) {
    g.adapters = std::move(adapters);
    g.count = static_cast<int32_t>(g.adapters.size());
  }
};

TEST_F(AtiGpuTest, ConvertsClocksAndTemperatureByAdapterIndex) {
  Use({Adapter(7, 50000, 90000, 37, 45, 61400), Adapter(3, 12345, 15050, 99, 100, 61600)});
  tAtiGPU r(kApi, nullptr);
  ASSERT_EQ(r.AdapterCount, 2);
  EXPECT_EQ(g.infoBytes, 2 * 1572);
  EXPECT_EQ(Values(r, 0), (std::vector<int32_t>{0, 0, 0, 0, 0}));
  r.Update();
  EXPECT_TRUE(g.structuresOk);
  EXPECT_EQ(Values(r, 0), (std::vector<int32_t>{500, 900, 37, 45, 61}));
  EXPECT_EQ(Values(r, 1), (std::vector<int32_t>{123, 151, 99, 100, 62}));
  EXPECT_EQ(Values(r, 2), (std::vector<int32_t>{0, 0, 0, 0, 0}));
}

TEST_F(AtiGpuTest, RoundingToNearest) {
  struct Case {
    int32_t n, d, expected;
  };
  const Case cases[] = {{61400, 1000, 61}, {61600, 1000, 62}, {61500, 1000, 62},
                        {-1400, 1000, -1}, {-1600, 1000, -2}, {49, 100, 0}, {50, 100, 1}};
  for (const Case& c : cases) EXPECT_EQ(AdlRoundDiv(c.n, c.d), c.expected) << c.n;
}

TEST_F(AtiGpuTest, InactiveAndNonPercentAdaptersAreNeverAsked) {
  Use({Adapter(0, 50000, 90000, 37, 45, 61400), Adapter(1, 50000, 90000, 37, 45, 61400),
       Adapter(2, 50000, 90000, 37, 45, 61400)});
  g.adapters[0].active = 0;
  g.adapters[1].fanFlags = 0x6;  // readable, but not as a percentage
  g.adapters[2].activeStatus = -1;  // active query fails: fan information not asked
  tAtiGPU r(kApi, nullptr);
  r.Update();
  r.Update();
  EXPECT_EQ(Values(r, 0), (std::vector<int32_t>{0, 0, 0, 0, 0}));
  EXPECT_EQ(g.adapters[0].updateCalls, 0);
  EXPECT_EQ(Values(r, 1), (std::vector<int32_t>{500, 900, 37, 0, 61}));
  EXPECT_EQ(g.adapters[1].updateCalls, 4);  // activity and temperature, twice
  EXPECT_EQ(Values(r, 2), (std::vector<int32_t>{0, 0, 0, 0, 0}));
  EXPECT_EQ(g.adapters[2].fanInfoCalls, 0);
  EXPECT_EQ(g.adapters[2].updateCalls, 0);
}

TEST_F(AtiGpuTest, FailingStepKeepsOnlyItsValues) {
  Use({Adapter(0, 50000, 90000, 37, 45, 61400)});
  tAtiGPU r(kApi, nullptr);
  r.Update();
  g.adapters[0] = Adapter(0, 10000, 20000, 5, 10, 30000);
  g.adapters[0].activityStatus = -1;
  r.Update();
  EXPECT_EQ(Values(r, 0), (std::vector<int32_t>{500, 900, 37, 10, 30}));
  g.adapters[0].activityStatus = 0;
  g.adapters[0].fanStatus = -8;
  g.adapters[0].tempStatus = -8;
  g.adapters[0].temp = 90000;
  r.Update();
  EXPECT_EQ(Values(r, 0), (std::vector<int32_t>{100, 200, 5, 10, 30}));
}

TEST_F(AtiGpuTest, CountFailuresAndInfoFailure) {
  g.countStatus = -3;
  g.count = 2;
  {
    tAtiGPU r(kApi, nullptr);
    EXPECT_EQ(r.AdapterCount, -3);
    r.Update();
    EXPECT_EQ(r.GetTemperature(0), 0);
  }
  TAdlApi noCount = kApi;
  noCount.NumberOfAdapters = nullptr;
  EXPECT_EQ(tAtiGPU(noCount, nullptr).AdapterCount, -1);

  g = TFakeLib{};
  Use({Adapter(0, 50000, 90000, 37, 45, 61400)});
  g.infoStatus = -1;
  tAtiGPU r(kApi, nullptr);
  EXPECT_EQ(r.AdapterCount, 1);
  r.Update();
  EXPECT_EQ(Values(r, 0), (std::vector<int32_t>{0, 0, 0, 0, 0}));
  EXPECT_EQ(g.adapters[0].updateCalls, 0);
}

// A library that counts far more adapters than exist: the reader takes the
// first 64, asks for their records in one call of that size and never
// touches an adapter past them.
TEST_F(AtiGpuTest, HugeCountIsCappedAtSixtyFour) {
  for (int32_t reported : {65, 1000000, INT32_MAX}) {
    g = TFakeLib{};
    std::vector<TFakeAdapter> adapters;
    for (int32_t i = 0; i < 66; ++i) adapters.push_back(Adapter(i, 100 * (i + 1), 0, 0, 0, 1000 * i));
    Use(adapters);
    g.count = reported;
    tAtiGPU r(kApi, nullptr);
    EXPECT_EQ(r.AdapterCount, 64) << reported;
    EXPECT_EQ(g.infoBytes, 64 * 1572) << reported;
    r.Update();
    EXPECT_EQ(r.GetTemperature(63), 63) << reported;
    EXPECT_EQ(r.GetCoreClock(63), 64) << reported;
    EXPECT_EQ(r.GetTemperature(64), 0) << reported;
    EXPECT_EQ(g.adapters[64].updateCalls + g.adapters[64].fanInfoCalls, 0) << reported;
  }
}

TEST_F(AtiGpuTest, DestroyRunsBeforeTheLibraryIsReleased) {
  Use({Adapter(0, 50000, 90000, 37, 45, 61400)});
  static int destroysAtRelease;
  destroysAtRelease = -1;
  {
    std::shared_ptr<void> library(reinterpret_cast<void*>(1), [](void*) { destroysAtRelease = g.destroyCalls; });
    tAtiGPU r(kApi, std::move(library));
  }
  EXPECT_EQ(destroysAtRelease, 1);
  TAdlApi noDestroy = kApi;
  noDestroy.MainControlDestroy = nullptr;
  { tAtiGPU r(noDestroy, nullptr); }
  EXPECT_EQ(g.destroyCalls, 1);
}

TEST(AdlAlloc, GivesZeroedBlocks) {
  auto* p = static_cast<unsigned char*>(AdlAlloc(64));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(p[i], 0);
  std::free(p);
  EXPECT_EQ(AdlAlloc(-1), nullptr);
}

}  // namespace
