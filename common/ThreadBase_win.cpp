#include "common/ThreadBase_win.h"

namespace {

// The process-wide lock, created on first use and deleted when the program ends.
class tProcessLock {
 public:
  tProcessLock() { InitializeCriticalSection(&Section); }
  ~tProcessLock() { DeleteCriticalSection(&Section); }
  CRITICAL_SECTION Section;
};

CRITICAL_SECTION& ProcessLock() {
  static tProcessLock lock;
  return lock.Section;
}

}  // namespace

tThread::tThread(uint32_t creationFlags, tThreadMethod method) : ThreadMethod(method) {
  ProcessLock();  // make sure the lock exists before any thread may take it
  DWORD id = 0;
  ThreadHandle.reset(CreateThread(nullptr, 0, &tThread::Wrapper, this, creationFlags, &id));
  ThreadId = id;
}

tThread::~tThread() = default;

void tThread::Resume() {
  if (ThreadHandle) ResumeThread(ThreadHandle.get());
}

bool tThread::WaitFor(DWORD milliseconds) {
  if (!ThreadHandle) return true;
  return WaitForSingleObject(ThreadHandle.get(), milliseconds) == WAIT_OBJECT_0;
}

void tThread::Lock() { EnterCriticalSection(&ProcessLock()); }
void tThread::Unlock() { LeaveCriticalSection(&ProcessLock()); }

// Runs the method; no exception leaves the thread. Terminated is cleared when
// the thread object is made, not here, so that a Terminate issued before the
// thread first runs is kept and the method returns at once.
DWORD WINAPI tThread::Wrapper(void* parameter) {
  tThread& self = *static_cast<tThread*>(parameter);
  try {
    self.ThreadMethod.Procedure(self.ThreadMethod.Object, self);
  } catch (...) {
  }
  DWORD code = 0;
  GetExitCodeThread(GetCurrentThread(), &code);
  self.ExitCode = code;
  self.Terminated = true;
  return code;
}
