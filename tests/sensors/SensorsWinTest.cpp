// The GPU readers against their stand-ins, which lie beside this program
// (profiles are written per test), and the memory and network meters on the
// system's real tables. The cases that need the libraries absent run in a
// copy of this program in a folder of their own.
#include "applet/sensors/ATIUnit.h"
#include "applet/sensors/NetMeter_win.h"
#include "applet/sensors/NvUnit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/sensors/WinTestUtil_win.h"

namespace {

class GpuWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("KES_NVAPI_PROFILE", dir_.File("nvapi.profile").c_str());
    SetEnvironmentVariableA("KES_ADL_PROFILE", dir_.File("atiadl.profile").c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableA("KES_NVAPI_PROFILE", nullptr);
    SetEnvironmentVariableA("KES_ADL_PROFILE", nullptr);
  }
  void Nv(const std::string& text) { ASSERT_TRUE(WriteTextFile(dir_.File("nvapi.profile"), text)); }
  void Adl(const std::string& text) { ASSERT_TRUE(WriteTextFile(dir_.File("atiadl.profile"), text)); }

  TScratchDir dir_{"kes-gpu"};
};

std::vector<int64_t> NvValues(const tNvGPU& r, uint32_t i) {
  return {r.GetFanRPM(i), r.GetFanSpeed(i), r.GetTemperature(i), r.GetUsage(i),
          r.GetVRamUsage(i), r.GetCoreClock(i), r.GetMemClock(i)};
}

std::vector<int32_t> AtiValues(const tAtiGPU& r, uint32_t i) {
  return {r.GetCoreClock(i), r.GetMemClock(i), r.GetUsage(i), r.GetFanSpeed(i), r.GetTemperature(i)};
}

const char kTwoNvGpus[] =
    "gpus = 2\n"
    "gpu0.sensor0.temp = 55\n gpu0.cooler.level = 40\n gpu0.usage.gpu = 30\n gpu0.usage.memory = 12\n"
    "gpu0.clock.core = 405000\n gpu0.clock.memory = 1848000\n gpu0.clock.word30 = 0\n gpu0.tach = 1500\n"
    "gpu1.sensor0.target = 0\n gpu1.sensor2.target = 1\n gpu1.sensor2.temp = 71\n gpu1.sensor0.temp = 20\n"
    "gpu1.clock.word30 = 1620000\n";

TEST_F(GpuWinTest, NvReaderDecodesTheDriversStructures) {
  Nv(kTwoNvGpus);
  tNvGPU r;
  ASSERT_EQ(r.AdapterCount, 2u);
  EXPECT_EQ(NvValues(r, 0), std::vector<int64_t>(7, 0));
  r.Update();
  EXPECT_EQ(NvValues(r, 0), (std::vector<int64_t>{1500, 40, 55, 30, 12, 405, 1848}));
  // Only sensor slot 2 targets the GPU; word 30 replaces the core clock.
  EXPECT_EQ(r.GetTemperature(1), 71);
  EXPECT_EQ(r.GetCoreClock(1), 810u);
  EXPECT_EQ(NvValues(r, 2), std::vector<int64_t>(7, 0));
}

TEST_F(GpuWinTest, NvFailuresKeepTheValuesTheyFeed) {
  Nv(kTwoNvGpus);
  tNvGPU r;
  ASSERT_EQ(r.AdapterCount, 2u);
  r.Update();
  const auto before = NvValues(r, 0);
  // Thermal query fails: all seven values stay, even though the rest changed.
  Nv(std::string(kTwoNvGpus) + "gpu0.status.thermal = -1\n gpu0.tach = 9\n gpu0.usage.gpu = 99\n gpu0.clock.core = 1000\n");
  r.Update();
  EXPECT_EQ(NvValues(r, 0), before);
  // No cooler reported, tachometer failing, usages not provided by the driver.
  Nv(std::string(kTwoNvGpus) +
     "gpu0.cooler.count = 0\n gpu0.cooler.level = 99\n gpu0.status.tach = -5\n gpu0.tach = 9\n"
     "gpu0.sensor0.temp = 60\n gpu0.usage.gpu = 99\n");
  r.Update();
  EXPECT_EQ(NvValues(r, 0), (std::vector<int64_t>{1500, 40, 60, 99, 12, 405, 1848}));
}

TEST_F(GpuWinTest, AtiReaderConvertsUnitsAndSkipsInactiveAdapters) {
  Adl("adapters = 4\n"
      "adapter0.index = 11\n adapter0.engine = 50000\n adapter0.memory = 90000\n adapter0.temp = 61400\n"
      "adapter0.activity = 37\n adapter0.fan.speed = 45\n"
      "adapter1.index = 12\n adapter1.temp = 61600\n adapter1.fan.flags = 2\n adapter1.fan.speed = 80\n"
      "adapter2.index = 13\n adapter2.active = 0\n"
      "adapter3.index = 14\n adapter3.status.active = -1\n");
  tAtiGPU r;
  ASSERT_EQ(r.AdapterCount, 4);
  EXPECT_EQ(AtiValues(r, 0), (std::vector<int32_t>{0, 0, 0, 0, 0}));
  r.Update();
  EXPECT_EQ(AtiValues(r, 0), (std::vector<int32_t>{500, 900, 37, 45, 61}));
  // Fan not readable as a percentage: never asked, stays 0.
  EXPECT_EQ(AtiValues(r, 1), (std::vector<int32_t>{500, 900, 37, 0, 62}));
  // Inactive, and active query failing: the stand-in has readings, but they are never asked.
  EXPECT_EQ(AtiValues(r, 2), (std::vector<int32_t>{0, 0, 0, 0, 0}));
  EXPECT_EQ(AtiValues(r, 3), (std::vector<int32_t>{0, 0, 0, 0, 0}));
  EXPECT_EQ(AtiValues(r, 4), (std::vector<int32_t>{0, 0, 0, 0, 0}));
  EXPECT_EQ(AtiValues(r, 0xFFFFFFFFu), (std::vector<int32_t>{0, 0, 0, 0, 0}));
}

TEST_F(GpuWinTest, AtiCountAndInfoFailures) {
  struct Case {
    const char* profile;
    int32_t count;
  };
  const Case cases[] = {{"create = -1\n", 0}, {"count = -7\n", -7}, {"adapters = 0\n", 0}, {"info = -1\n", 1}};
  for (const Case& c : cases) {
    Adl(c.profile);
    tAtiGPU r;
    EXPECT_EQ(r.AdapterCount, c.count) << c.profile;
    r.Update();
    EXPECT_EQ(AtiValues(r, 0), (std::vector<int32_t>{0, 0, 0, 0, 0})) << c.profile;
  }
  // Destruction gave the library back in a usable state.
  Adl("");
  tAtiGPU again;
  EXPECT_EQ(again.AdapterCount, 1);
}

// Run in a copy of this program in a folder without the GPU libraries.
TEST(GpuChildCase, NoLibraries) {
  if (!IsChildCase()) GTEST_SKIP() << "runs in a copy of the program";
  EXPECT_EQ(LoadNvApi(), 254);
  tNvGPU nv;
  EXPECT_EQ(nv.AdapterCount, 0u);
  nv.Update();
  EXPECT_EQ(nv.GetTemperature(0), 0);
  tAtiGPU ati;
  EXPECT_EQ(ati.AdapterCount, 0);
  ati.Update();
  EXPECT_EQ(ati.GetCoreClock(0), 0);
}

TEST(GpuChildCase, OnlySecondAdlName) {
  if (!IsChildCase()) GTEST_SKIP() << "runs in a copy of the program";
  tAtiGPU ati;
  EXPECT_EQ(ati.AdapterCount, 3);
  ati.Update();
  EXPECT_EQ(ati.GetMemClock(2), 900);
}

// Run in a copy of this program beside a copy of the NVIDIA stand-in, so
// that this process loads the interface for the first time.
TEST(GpuChildCase, NvLoading) {
  if (!IsChildCase()) GTEST_SKIP() << "runs in a copy of the program";
  char profile[MAX_PATH];
  ASSERT_GT(GetEnvironmentVariableA("KES_NVAPI_PROFILE", profile, MAX_PATH), 0u);
  ASSERT_TRUE(WriteTextFile(profile, "initialize = -2\n"));
  EXPECT_EQ(LoadNvApi(), -1);
  EXPECT_EQ(tNvGPU().AdapterCount, 0u);
  // A later try loads it; the driver lacks the cooler and tachometer queries.
  ASSERT_TRUE(WriteTextFile(profile, "missing = 0xDA141340, 0x5F608315\n"));
  EXPECT_EQ(LoadNvApi(), 0);
  tNvGPU r;
  ASSERT_EQ(r.AdapterCount, 1u);
  r.Update();
  EXPECT_EQ(NvValues(r, 0), (std::vector<int64_t>{0, 0, 55, 30, 12, 405, 1848}));
  // Loaded once: the profile no longer matters for loading.
  ASSERT_TRUE(WriteTextFile(profile, "initialize = -2\n"));
  EXPECT_EQ(LoadNvApi(), 0);
}

TEST_F(GpuWinTest, NvInterfaceLoadsOnceAndMissingEntriesKeepValues) {
  TScratchDir nv("kes-nvload");
  ASSERT_TRUE(CopyFileA((ProgramFolder() + "nvapi.dll").c_str(), nv.File("nvapi.dll").c_str(), FALSE));
  EXPECT_EQ(RunCopyIn(nv, "GpuChildCase.NvLoading"), 0u);
}

TEST_F(GpuWinTest, WithoutAnyGpuLibraryTheReadersHaveNoAdapters) {
  TScratchDir empty("kes-nogpu");
  EXPECT_EQ(RunCopyIn(empty, "GpuChildCase.NoLibraries"), 0u);
}

TEST_F(GpuWinTest, OnlyTheSecondAdlNameIsUsedWhenAlone) {
  Adl("adapters = 3\n");
  TScratchDir alone("kes-adlxy");
  ASSERT_TRUE(CopyFileA((ProgramFolder() + "atiadlxy.dll").c_str(), alone.File("atiadlxy.dll").c_str(), FALSE));
  EXPECT_EQ(RunCopyIn(alone, "GpuChildCase.OnlySecondAdlName"), 0u);
}

TEST(NetMeterWin, MemoryLoadIsAPercentage) {
  const uint32_t load = GetMemoryLoad();
  EXPECT_GT(load, 0u);
  EXPECT_LE(load, 100u);
}

TEST(NetMeterWin, ReadsTheInterfaceTableAndRatesFromTheThirdCall) {
  TMIBIfArray table(3);
  GetInterfaceTable(table);
  ASSERT_FALSE(table.empty());  // at least the loopback interface
  SelectNetworkInterface(table[0].dwIndex);
  for (int call = 1; call <= 3; ++call) {
    double down = -1.0, up = -1.0;
    GetNetworkRates(down, up);
    if (call < 3) {
      EXPECT_EQ(down, 0.0) << call;
      EXPECT_EQ(up, 0.0) << call;
    } else {
      EXPECT_GE(down, 0.0);
      EXPECT_GE(up, 0.0);
    }
    Sleep(20);
  }
  // A clock that cannot be read gives no rates.
  SetNetworkClock([](double&) { return false; });
  double down = -1.0, up = -1.0;
  GetNetworkRates(down, up);
  EXPECT_EQ(down, 0.0);
  EXPECT_EQ(up, 0.0);
  SetNetworkClock(nullptr);
  GetNetworkRates(down, up);
  EXPECT_EQ(down, 0.0);
}

}  // namespace
