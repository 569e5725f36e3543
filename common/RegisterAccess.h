#pragma once
// The register operations a sampling pass needs, as a table of function
// pointers over a back-end context. Every driver back end fills this table;
// the identification and the passes reach the processor only through it.
//
// Every operation returns true when it delivered a value (or did the write).
// A failed or refused access gives no reading: the caller keeps what it had.
// Processor numbers are logical processors counted from 0.

#include "common/DriverApi.h"

#include <cstdint>

struct tRegisterAccess {
  void* Context;

  // CPUID leaf (sub-leaf 0) as executed on the processor; regs = eax, ebx, ecx, edx.
  bool (*Cpuid)(void* context, int32_t processor, uint32_t leaf, uint32_t regs[4]);
  bool (*ReadMsr)(void* context, int32_t processor, uint32_t msr, uint64_t* value);
  bool (*WriteMsr)(void* context, int32_t processor, uint32_t msr, uint64_t value);
  bool (*ReadTsc)(void* context, int32_t processor, uint64_t* value);

  // AMD Zen: a register of the system management network behind the first
  // root complex. Refused when that root complex is not an AMD one.
  bool (*ReadSmn)(void* context, uint32_t address, uint32_t* value);
  // Takes and releases the lock that serialises the SMN index/data pair with
  // other programs; a pass that cannot take it reads no SMN register. Null
  // when the back end needs no lock.
  bool (*LockSmn)(void* context);
  void (*UnlockSmn)(void* context);

  // AMD families 0Fh to 16h. The thermal device is the miscellaneous-control
  // function found by its device id (vendor 0x1022); kPciNotFound when none.
  uint32_t (*FindThermalDevice)(void* context, uint16_t deviceId);
  // Families 10h to 16h: the reported-temperature register 0xA4 of that device.
  bool (*ReadReportedTemperature)(void* context, uint32_t thermalDevice, uint32_t* value);
  // Family 0Fh: the thermal-trip register 0xE4 with the sensor of core 0 or 1
  // selected.
  bool (*ReadK8ThermTrip)(void* context, uint32_t thermalDevice, int core, uint32_t* value);
};

// Platform hooks the driver-library back end cannot provide by itself (core
// code has no threads or kernel objects); each may be null.
struct tDriverAccessHooks {
  // Runs CPUID on the given processor (the library's Cpuid runs where the
  // calling thread is); null: CPUID runs on the calling thread's processor.
  bool (*PinnedCpuid)(const tDriverApi& api, int32_t processor, uint32_t leaf, uint32_t regs[4]);
  // The named lock around the PCI index/data pair.
  bool (*LockPci)();
  void (*UnlockPci)();
};

// The driver-library back end: one library table and the platform's hooks.
// Keep it alive as long as the table made from it.
struct tDriverAccess {
  const tDriverApi* Api = nullptr;
  tDriverAccessHooks Hooks{};
};

// The register table served by the driver library (DriverApi.h): MSRs and the
// TSC through the affinity mask 1 << processor, SMN through 0:0.0 registers
// 0x60 and 0x64, the old AMD thermal registers through the PCI entry points.
tRegisterAccess MakeDriverAccess(tDriverAccess& access);
