// tCPUThread and tThread under Wine, against the WinRing0 stand-in beside the
// test program. Each test picks the stand-in's profile before the engine
// loads the library (the library is unloaded again when the engine goes).
#include "common/CPUUnit_win.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

namespace {

std::unique_ptr<tCPUThread> StartEngine(const char* profile, const char* library = "WinRing0.dll",
                                        tDebugCallback callback = nullptr) {
  SetEnvironmentVariableA("KES_WINRING0_PROFILE", profile);
  return std::make_unique<tCPUThread>(library, callback);
}

// Waits (at most 10 s) until the engine has run the given number of passes,
// told by the processor clock, the last value a pass writes; later passes
// follow one second apart.
void WaitForPasses(const tCPUThread& engine, int passes) {
  for (int i = 0; i < 1000 && engine.CpuClock == 0.0; ++i) Sleep(10);
  if (passes > 1) Sleep(1000 * (passes - 1) + 300);
}

// Waits up to ten more passes for the measured bus clock to snap to 100 MHz.
// On a busy machine one pass's two counter reads can lie far enough apart to
// miss the snapping window; a later pass lands inside it.
void WaitForSnappedBus(const tCPUThread& engine) {
  for (int i = 0; i < 10 && std::fabs(engine.BusClock - 100.0) > 1.0; ++i) Sleep(1000);
}

std::string TempDir() {
  char path[MAX_PATH];
  GetTempPathA(MAX_PATH, path);
  return path;
}

std::string WriteProfile(const std::string& name, const std::string& text) {
  const std::string path = TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

bool ThreadExists(DWORD id) {
  tUniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Thread32First(snapshot.get(), &entry); ok; ok = Thread32Next(snapshot.get(), &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId() && entry.th32ThreadID == id) return true;
  return false;
}

int Covered(const tCPUThread& engine, int profileProcessors) {
  return engine.ProcessorCount < profileProcessors ? engine.ProcessorCount : profileProcessors;
}

}  // namespace

TEST(CpuThread, MeasuresAHaswellWithTurbo) {
  auto engine = StartEngine("haswell");
  ASSERT_TRUE(engine->IsRunning());
  EXPECT_EQ(engine->ProcessorCount, GetProcessorCount());
  EXPECT_EQ(engine->GetGeneration(), kGenHaswell);
  EXPECT_EQ(engine->Signature, 0x306C3u);
  EXPECT_EQ(engine->GetModelName(), "Haswell (Family 6 Model 3C Stepping 3)");
  EXPECT_EQ(engine->TjMax, 100.0);
  EXPECT_EQ(engine->BaseMultiplier, 34.0);
  EXPECT_TRUE(engine->IdaEnabled);

  WaitForPasses(*engine, 2);
  WaitForSnappedBus(*engine);
  // The measured bus clock jitters with the scheduling of the two counter
  // reads; within 1 MHz of 100 it snaps, and the TSC clock becomes 34 x 100.
  EXPECT_NEAR(engine->BusClock, 100.0, 1.0);
  EXPECT_NEAR(engine->TscClock, 3400.0, 3400.0 * 0.005);
  EXPECT_EQ(engine->Multiplier, 38.0);  // effective ratio above the base
  EXPECT_NEAR(engine->CpuClock, 38 * 100.0, 1e-6);
  for (int p = 0; p < Covered(*engine, 8); ++p)
    EXPECT_EQ(engine->GetTemperature(p), 100.0 - (60 - 2 * p)) << p;
  EXPECT_EQ(engine->GetTemperature(engine->ProcessorCount), 0.0);
}

TEST(CpuThread, WithoutTurboUsesTheStatusRatio) {
  auto engine = StartEngine("haswell-noturbo");
  EXPECT_FALSE(engine->IdaEnabled);
  WaitForPasses(*engine, 2);
  WaitForSnappedBus(*engine);
  EXPECT_EQ(engine->Multiplier, 34.0);
  EXPECT_NEAR(engine->CpuClock, 3400.0, 1e-6);
}

TEST(CpuThread, ProfilesOfOtherClockModels) {
  struct Case {
    const char* Profile;
    uint8_t Generation;
    double CpuClock;
    double Temperature0, Temperature1;
  } cases[] = {
      {"core2", kGenCore, 3000.0, 50, 55},          // TjMax 100 by model, ratio 9 x 333.33
      {"nehalem", kGenNehalem, 21 * 400.0 / 3, 40, 40},
      {"atom", kGenAtom, 1600.0, 60, 60},           // ratio 12 x 133.33
      {"k8", kGenAmd, 2200.0, 51, 49},
      {"amd10h", kGenAmd, 3000.0, 52.625, 52.625},
      {"amd15h-m0", kGenAmd, 3600.0, 52.5, 52.5},
      {"amd15h-m3", kGenAmd, 3700.0, 52.875, 52.875},
      {"unknown", kGenUnsupported, 1800.0, 0, 0},
      {"cometlake", kGenIntel, 4700.0, 50, 52},     // 7-bit readout: bit 23 of processor 1 ignored
      {"tigerlake", kGenIntel, 4700.0, 45, 47},
      {"alderlake", kGenIntel, 4900.0, 40, -34},    // 8-bit readout: bit 23 of processor 1 counts
      {"raptorlake", kGenIntel, 5300.0, 50, 54},
      {"zenplus", kGenZen, 4100.0, 45, 45},         // Tctl 55 less the 2700X's 10
      {"zen3", kGenZen, 4900.0, 58.5, 58.5},        // processors 0 and 1 are on CCD 0
      {"zen4", kGenZen, 5500.0, 63.25, 63.25},
      {"zen5", kGenZen, 5700.0, 56, 56},
      {"vm", kGenZen, 2450.0, 0, 0},                // no MSRs, all-ones PCI: no temperature
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Profile);
    auto engine = StartEngine(c.Profile);
    ASSERT_TRUE(engine->IsRunning());
    EXPECT_EQ(engine->GetGeneration(), c.Generation);
    WaitForPasses(*engine, 1);
    EXPECT_NEAR(engine->CpuClock, c.CpuClock, c.CpuClock * 0.005);
    EXPECT_EQ(engine->GetTemperature(0), c.Temperature0);
    if (engine->ProcessorCount > 1) {
      EXPECT_EQ(engine->GetTemperature(1), c.Temperature1);
    }
  }
}

// The names of the processors after the first model table, and their CCDs
// as the stand-in answers CPUID 0x8000001E on the processor it runs on.
TEST(CpuThread, NamesTodaysProcessors) {
  struct Case {
    const char* Profile;
    const char* Name;
    double TjMax;
  } cases[] = {
      {"alderlake", "Alder Lake (Family 6 Model 97 Stepping 2)", 100},
      {"zen4", "Zen 4 (Family 25 Model 61)", 0},
      {"vm", "Zen 3 (Family 25 Model  1)", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Profile);
    auto engine = StartEngine(c.Profile);
    EXPECT_EQ(engine->GetModelName(), c.Name);
    EXPECT_EQ(engine->TjMax, c.TjMax);
  }
  auto zen = StartEngine("zen4");
  EXPECT_STREQ(zen->Brand, "AMD Ryzen 9 7950X 16-Core Processor");
  for (int p = 0; p < Covered(*zen, 32); ++p) EXPECT_EQ(zen->GetCcd(p), p / 16) << p;
}

TEST(CpuThread, StaysIdleWhenTheLibraryIsNotReady) {
  const std::string noInit = WriteProfile("kes-noinit.profile", "base=haswell\nfail_initialize=1\n");
  const std::string noCpuid = WriteProfile("kes-nocpuid.profile", "base=haswell\nfail_cpuid=1\n");
  const std::string broken = WriteProfile("kes-broken.profile", "vendor=short\n");
  struct Case {
    std::string Profile;
    const char* Library;
  } cases[] = {
      {noInit, "WinRing0.dll"},
      {noCpuid, "WinRing0.dll"},
      {broken, "WinRing0.dll"},
      {"haswell", "NoSuchDriverLibrary.dll"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Profile + " " + c.Library);
    auto engine = StartEngine(c.Profile.c_str(), c.Library);
    EXPECT_FALSE(engine->IsRunning());
    EXPECT_EQ(engine->GetThreadId(), 0u);
    EXPECT_EQ(engine->GetGeneration(), 0);
    Sleep(50);
    EXPECT_EQ(engine->TscClock, 0.0);
    EXPECT_EQ(engine->CpuClock, 0.0);
    EXPECT_EQ(engine->BaseMultiplier, 0.0);
    EXPECT_EQ(engine->GetTemperature(0), 0.0);
  }
}

// The wait between passes is interruptible: stopping does not sit out the
// rest of the one-second period, and no sampling thread is left behind.
TEST(CpuThread, StopsPromptlyAndLeavesNoThread) {
  auto engine = StartEngine("haswell");
  WaitForPasses(*engine, 1);
  const DWORD id = engine->GetThreadId();
  ASSERT_TRUE(ThreadExists(id));
  const auto start = std::chrono::steady_clock::now();
  engine->Terminate();
  engine.reset();
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(900));
  EXPECT_FALSE(ThreadExists(id));
}

TEST(CpuThread, DestructionWithoutTerminateAlsoEnds) {
  auto engine = StartEngine("haswell");
  const DWORD id = engine->GetThreadId();
  engine.reset();
  EXPECT_FALSE(ThreadExists(id));
}

// The service's diagnostics arrive on the sampling thread once asked for.
TEST(CpuThread, SendsDiagnosticLines) {
  static std::atomic<int> tscLines{0}, coreLines{0};
  static std::atomic<DWORD> lineThread{0};
  auto collect = [](const char* line) {
    lineThread = GetCurrentThreadId();
    if (std::strncmp(line, "TSCClock: ", 10) == 0) ++tscLines;
    if (std::strncmp(line, "Core #01: ", 10) == 0) ++coreLines;
  };
  auto engine = StartEngine("haswell", "WinRing0.dll", collect);
  WaitForPasses(*engine, 1);
  EXPECT_EQ(tscLines, 0);
  engine->DebugOutput = true;
  Sleep(1300);
  EXPECT_GE(tscLines, 1);
  EXPECT_GE(coreLines, 1);
  EXPECT_EQ(lineThread, engine->GetThreadId());
}

// A profile file beside the library wins over the environment.
TEST(CpuThread, ReadsTheProfileBesideTheLibrary) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string dir(exe);
  dir = dir.substr(0, dir.find_last_of("\\/") + 1);
  const std::string own = TempDir() + "kes-beside\\";
  CreateDirectoryA(own.c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((dir + "WinRing0.dll").c_str(), (own + "WinRing0.dll").c_str(), FALSE));
  std::ofstream(own + "WinRing0.profile") << "base=haswell-hot\n";
  auto engine = StartEngine("amd10h", (own + "WinRing0.dll").c_str());
  EXPECT_EQ(engine->GetGeneration(), kGenHaswell);
  WaitForPasses(*engine, 1);
  EXPECT_EQ(engine->GetTemperature(0), 88.0);
}

namespace {

struct tThreadProbe {
  std::atomic<bool> SawTerminated{false};
  std::atomic<int> Loops{0};
};

void LoopUntilTerminated(void* object, tThread& thread) {
  auto& probe = *static_cast<tThreadProbe*>(object);
  while (!thread.Terminated) {
    ++probe.Loops;
    Sleep(1);
  }
  probe.SawTerminated = true;
}

void Throw(void*, tThread&) { throw 42; }

}  // namespace

TEST(ThreadBase, RunsTheMethodUntilTerminated) {
  tThreadProbe probe;
  tThread thread(CREATE_SUSPENDED, tThreadMethod{&probe, &LoopUntilTerminated});
  ASSERT_NE(thread.Handle(), nullptr);
  EXPECT_NE(thread.ThreadId, 0u);
  Sleep(30);
  EXPECT_EQ(probe.Loops, 0);  // still suspended
  thread.Resume();
  while (probe.Loops == 0) Sleep(1);
  EXPECT_FALSE(thread.Terminated);
  thread.Terminate();
  ASSERT_TRUE(thread.WaitFor(5000));
  EXPECT_TRUE(probe.SawTerminated);
  EXPECT_TRUE(thread.Terminated);
}

// A Terminate issued before the thread first runs is kept.
TEST(ThreadBase, KeepsAnEarlyTerminate) {
  tThreadProbe probe;
  tThread thread(CREATE_SUSPENDED, tThreadMethod{&probe, &LoopUntilTerminated});
  thread.Terminate();
  thread.Resume();
  ASSERT_TRUE(thread.WaitFor(5000));
  EXPECT_EQ(probe.Loops, 0);
}

TEST(ThreadBase, AMethodThatThrowsStillEndsTerminated) {
  tThread thread(0, tThreadMethod{nullptr, &Throw});
  ASSERT_TRUE(thread.WaitFor(5000));
  EXPECT_TRUE(thread.Terminated);
  DWORD code = 0;
  GetExitCodeThread(thread.Handle(), &code);
  EXPECT_EQ(code, thread.ExitCode);
}

TEST(ThreadBase, TheProcessLockIsReentrantAndExclusive) {
  tThread::Lock();
  tThread::Lock();
  std::atomic<bool> entered{false};
  std::thread other([&] {
    tThreadLockGuard hold;
    entered = true;
  });
  Sleep(50);
  EXPECT_FALSE(entered);
  tThread::Unlock();
  Sleep(50);
  EXPECT_FALSE(entered);
  tThread::Unlock();
  other.join();
  EXPECT_TRUE(entered);
}
