#include "common/CPUUnit_win.h"

#include "common/ProcAddress_win.h"

namespace {

// Fills the table from the library. Every entry point a pass may call must be
// there; a library without one of them is not used at all.
bool BindDriver(HMODULE library, tDriverApi& api) {
  bool ok = ResolveProc(library, "InitializeOls", api.InitializeOls);
  ok = ResolveProc(library, "IsCpuid", api.IsCpuid) && ok;
  ok = ResolveProc(library, "Cpuid", api.Cpuid) && ok;
  ok = ResolveProc(library, "RdmsrEx", api.RdmsrEx) && ok;
  ok = ResolveProc(library, "WrmsrEx", api.WrmsrEx) && ok;
  ok = ResolveProc(library, "RdtscEx", api.RdtscEx) && ok;
  ok = ResolveProc(library, "FindPciDeviceById", api.FindPciDeviceById) && ok;
  ok = ResolveProc(library, "ReadPciConfigDword", api.ReadPciConfigDword) && ok;
  ok = ResolveProc(library, "WritePciConfigDword", api.WritePciConfigDword) && ok;
  ResolveProc(library, "DeinitializeOls", api.DeinitializeOls);  // optional: skipped when missing
  return ok;
}

// The performance counter, read with the thread pinned to processor 0.
bool ReadCounterOnFirstProcessor(int64_t* counter) {
  const DWORD_PTR previous = SetThreadAffinityMask(GetCurrentThread(), 1);
  if (previous == 0) return false;
  LARGE_INTEGER value;
  const bool ok = QueryPerformanceCounter(&value) != 0;
  SetThreadAffinityMask(GetCurrentThread(), previous);
  if (ok) *counter = value.QuadPart;
  return ok;
}

// CPUID on one logical processor: the library's Cpuid runs where the calling
// thread runs, so the thread is pinned around it.
bool PinnedCpuid(const tDriverApi& api, int32_t processor, uint32_t leaf, uint32_t regs[4]) {
  if (processor < 0 || processor >= static_cast<int32_t>(sizeof(DWORD_PTR) * 8)) return false;
  const DWORD_PTR previous = SetThreadAffinityMask(GetCurrentThread(), DWORD_PTR(1) << processor);
  if (previous == 0) return false;
  const bool ok = api.Cpuid(leaf, &regs[0], &regs[1], &regs[2], &regs[3]) != 0;
  SetThreadAffinityMask(GetCurrentThread(), previous);
  return ok;
}

// The mutex other monitoring programs take around the PCI index/data pair,
// waited for at most this long; a pass that does not get it reads nothing.
constexpr char kPciMutexName[] = "Global\\Access_PCI";
constexpr DWORD kPciMutexWaitMs = 100;
// Opened by the one engine of the process for its lifetime.
tUniqueHandle PciMutex;

bool LockPci() {
  if (!PciMutex) return false;
  const DWORD result = WaitForSingleObject(PciMutex.get(), kPciMutexWaitMs);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void UnlockPci() { ReleaseMutex(PciMutex.get()); }

char UserDecimalSeparator() {
  char text[4] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, sizeof text) > 1 && text[1] == 0)
    return text[0];
  return '.';
}

}  // namespace

int32_t GetProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return static_cast<int32_t>(info.dwNumberOfProcessors);
}

tCPUThread::tCPUThread(const char* libraryPath, tDebugCallback callback)
    : tCpuSampler(GetProcessorCount(), callback) {
  DecimalSeparator = UserDecimalSeparator();
  WakeEvent.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (libraryPath != nullptr) DriverLibrary.reset(LoadLibraryA(libraryPath));
  if (!DriverLibrary || !WakeEvent) return;
  if (!BindDriver(DriverLibrary.get(), Driver)) return;
  DriverOpened = true;
  if (Driver.InitializeOls() == 0 || Driver.IsCpuid() == 0) return;

  PciMutex.reset(CreateMutexA(nullptr, FALSE, kPciMutexName));
  Library.Api = &Driver;
  Library.Hooks.PinnedCpuid = &PinnedCpuid;
  Library.Hooks.LockPci = &LockPci;
  Library.Hooks.UnlockPci = &UnlockPci;
  Access = MakeDriverAccess(Library);
  Identify(Access);
  ReadStartupRegisters(Access);
  LARGE_INTEGER frequency;
  if (QueryPerformanceFrequency(&frequency)) PerformanceFrequency = frequency.QuadPart;

  Thread.reset(new tThread(CREATE_SUSPENDED, tThreadMethod{this, &tCPUThread::SamplingLoop}));
  if (!Thread->Handle()) {
    Thread.reset();
    return;
  }
  Thread->Resume();
}

tCPUThread::~tCPUThread() {
  if (Thread) {
    // Also stops an owner that forgot Terminate, instead of waiting forever.
    Thread->Terminate();
    SetEvent(WakeEvent.get());
    Thread->WaitFor(INFINITE);
    Thread.reset();
  }
  if (DriverOpened && Driver.DeinitializeOls != nullptr) Driver.DeinitializeOls();
  DriverLibrary.reset();
  PciMutex.reset();
  WakeEvent.reset();
}

void tCPUThread::Terminate() {
  if (Thread) Thread->Terminate();
}

void tCPUThread::SamplingLoop(void* object, tThread& thread) {
  tCPUThread& self = *static_cast<tCPUThread*>(object);
  while (!thread.Terminated) {
    self.RunPass(self.Access, &ReadCounterOnFirstProcessor);
    WaitForSingleObject(self.WakeEvent.get(), 1000);
  }
}
