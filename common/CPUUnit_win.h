#pragma once
// tCPUThread, the CPU sampling engine: binds the driver library, identifies
// the processor, reads its start-up registers and samples once per second on a
// thread of its own. Owners read the public values of tCpuSampler (CpuPass.h)
// at any time without a lock. At most one instance per process.
//
// Stopping: the owner calls Terminate and destroys the object; the destructor
// wakes the thread and waits until it has left its loop (never a full second).
//
// The module functions GetProcessorCount, QuerySystemClock and GetCpuUsage give
// the number of logical processors and their loads.

#include "common/CpuPass.h"
#include "common/DriverApi.h"
#include "common/Handle_win.h"
#include "common/ThreadBase_win.h"

#include <cstdint>
#include <memory>

class tCPUThread : public tCpuSampler {
 public:
  // libraryPath: full path or bare name of "WinRing0.dll"; callback may be null.
  // Always yields an object; when the library is missing or not ready the
  // engine stays idle (Generation 0, all values 0, no thread).
  tCPUThread(const char* libraryPath, tDebugCallback callback);
  ~tCPUThread();

  // Asks the sampling thread to stop; destruction then returns promptly.
  void Terminate();
  // True while a sampling thread exists (not idle).
  bool IsRunning() const { return Thread != nullptr; }
  // Identifier of the sampling thread; 0 when idle.
  uint32_t GetThreadId() const { return Thread ? Thread->ThreadId : 0; }

 private:
  static void SamplingLoop(void* object, tThread& thread);

  tUniqueModule DriverLibrary;
  tUniqueHandle WakeEvent;
  tDriverApi Driver{};
  tDriverAccess Library;    // the driver library back end over Driver
  tRegisterAccess Access{};  // the register table every pass goes through
  bool DriverOpened = false;  // InitializeOls was called: DeinitializeOls is due
  std::unique_ptr<tThread> Thread;
};

// Number of logical processors, from the system information.
int32_t GetProcessorCount();

// The system time of day in 100-ns units; false when it cannot be queried.
bool QuerySystemClock(double& time);

// Load of every logical processor in percent, written into usage, which holds
// GetProcessorCount() entries. The first successful call only records the idle
// times (writes nothing) and returns true; entries not written keep their values.
bool GetCpuUsage(double* usage);
