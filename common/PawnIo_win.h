#pragma once
// The PawnIO driver through its device control interface: one open handle
// holds at most one module. Works alike from 32-bit and 64-bit programs (the
// buffers hold no pointers). The layouts and decisions are in PawnIoProtocol.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/Handle_win.h"
#include "common/PawnIoProtocol.h"

class tPawnIoDevice {
 public:
  // Opens the device and reads the driver's version; on failure the outcome
  // tells "not installed" from "access denied", and windowsError holds the
  // error. The version read is part of the open because a driver host may
  // give out a handle before the driver has answered the open itself (Wine).
  tPawnIoOpen Open(uint32_t& windowsError, uint32_t& version);
  bool IsOpen() const { return static_cast<bool>(Handle); }
  void Close() { Handle.reset(); }

  // The driver's version, (major << 16) | (minor << 8) | patch.
  bool ReadVersion(uint32_t& version) const;
  // Offers a module file's bytes; the driver's NTSTATUS.
  uint32_t LoadModule(const std::vector<uint8_t>& bytes) const;
  // Runs a module function; the driver's NTSTATUS. On success `results`
  // holds resultCount values. Runs on the processor of the calling thread.
  uint32_t Execute(const std::string& function, const uint64_t* args, size_t argCount,
                   uint64_t* results, size_t resultCount) const;

 private:
  uint32_t Control(uint32_t code, const void* in, size_t inSize, void* out, size_t outSize,
                   DWORD& written) const;

  tUniqueFileHandle Handle;
};

// Checks a module file by the rule of CheckPawnIoModuleFile and, when it is
// usable, reads its bytes.
tModuleFile ReadPawnIoModuleFile(const std::string& path, std::vector<uint8_t>& bytes);

// Pins the calling thread to one logical processor while it lives, and then
// restores the thread's previous affinity.
class tProcessorPin {
 public:
  explicit tProcessorPin(int processor);
  ~tProcessorPin();
  tProcessorPin(const tProcessorPin&) = delete;
  tProcessorPin& operator=(const tProcessorPin&) = delete;
  bool Pinned() const { return Previous != 0; }

 private:
  DWORD_PTR Previous = 0;
};
