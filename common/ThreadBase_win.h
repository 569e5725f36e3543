#pragma once
// tThread owns one operating-system thread and runs one method of an object on
// it; the module also holds the one process-wide lock (re-entrant), which the
// service's log writer takes because several threads write log lines.

#include "common/Handle_win.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

class tThread;

// The work to run on the thread: a procedure and the object it works on.
struct tThreadMethod {
  void* Object;
  void (*Procedure)(void* object, tThread& thread);
};

class tThread {
 public:
  // Creates the thread at once; creationFlags 4 (CREATE_SUSPENDED) leaves it
  // suspended until Resume.
  tThread(uint32_t creationFlags, tThreadMethod method);
  // Closes the thread handle only: the owner ends the method and waits first.
  ~tThread();
  tThread(const tThread&) = delete;
  tThread& operator=(const tThread&) = delete;

  // Asks the method to return; the method tests Terminated.
  void Terminate() { Terminated = true; }
  void Resume();
  // Waits until the thread has ended; false on time-out.
  bool WaitFor(DWORD milliseconds = INFINITE);
  HANDLE Handle() const { return ThreadHandle.get(); }

  // Enter and leave the process-wide lock.
  static void Lock();
  static void Unlock();

  uint32_t ThreadId = 0;
  std::atomic<uint32_t> ExitCode{0};  // set when the method has returned
  std::atomic<bool> Terminated{false};

 private:
  static DWORD WINAPI Wrapper(void* parameter);

  tUniqueHandle ThreadHandle;
  tThreadMethod ThreadMethod;
};

// Holds the process-wide lock for one scope.
class tThreadLockGuard {
 public:
  tThreadLockGuard() { tThread::Lock(); }
  ~tThreadLockGuard() { tThread::Unlock(); }
  tThreadLockGuard(const tThreadLockGuard&) = delete;
  tThreadLockGuard& operator=(const tThreadLockGuard&) = delete;
};
