#pragma once
// A fake driver library for native tests and benchmarks: one processor package
// with per-processor MSRs and CPUID leaves, a TSC, PCI devices and registers,
// the SMN registers behind 0:0.0, and call counters. Its storage is
// fixed-size, so reads and writes never allocate.

#include "common/DriverApi.h"

#include <cstdint>
#include <cstring>

struct tFakeCpu {
  static constexpr int kMaxProcessors = 32;
  static constexpr int kMaxMsrs = 20;
  static constexpr int kMaxPci = 8;
  static constexpr int kMaxLeaves = 40;
  static constexpr int kMaxSmn = 16;
  static constexpr int kMaxRefused = 8;

  struct tMsr {
    uint32_t Index;
    uint64_t Value;
  };
  struct tPciDevice {
    uint16_t Device;
    uint32_t Address;
  };
  struct tPciRegister {
    uint32_t Address;
    uint8_t Reg;
    uint32_t Value;
  };
  struct tLeaf {
    uint32_t Leaf;
    int Processor;  // -1: every processor
    uint32_t Regs[4];
  };
  struct tSmn {
    uint32_t Address;
    uint32_t Value;
  };

  char Vendor[13] = "GenuineIntel";
  uint32_t Signature = 0;
  tMsr Msrs[kMaxProcessors][kMaxMsrs] = {};
  int MsrCount[kMaxProcessors] = {};
  uint64_t Tsc = 0;
  // Added to fixed counters 1 and 2 on every read of them (0: they stand still).
  uint64_t CoreCyclesStep = 0;
  uint64_t RefCyclesStep = 0;
  tPciDevice Devices[kMaxPci] = {};
  int DeviceCount = 0;
  tPciRegister PciRegs[kMaxPci] = {};
  int PciRegCount = 0;
  // K8: register 0xE4 of the thermal device shows the sensor that bit 2 of the
  // last write to 0xC3/0xE4 selects.
  bool K8Sensors = false;
  uint8_t K8Reading[2] = {};
  uint32_t K8Select = 0;
  // The first PCI writes, in their order.
  static constexpr int kMaxPciWrites = 8;
  tPciRegister PciWrites[kMaxPciWrites] = {};

  // CPUID: leaf 0 reports MaxLeaf; leaves beyond 1 come from Leaves, where a
  // processor's own row wins. CpuidProcessor is where the next CPUID runs.
  uint32_t MaxLeaf = 1;
  tLeaf Leaves[kMaxLeaves] = {};
  int LeafCount = 0;
  int CpuidProcessor = 0;
  // SMN: 0:0.0 register 0x64 shows the register last written to 0x60
  // (all ones when unset); the root complex's id is PCI register 0 of 0:0.0.
  tSmn Smn[kMaxSmn] = {};
  int SmnCount = 0;
  uint32_t SmnIndex = 0;
  // MSRs every access to fails, as on a back end that refuses them; NoMsrs
  // fails them all.
  uint32_t Refused[kMaxRefused] = {};
  int RefusedCount = 0;
  bool NoMsrs = false;

  // Call counters, and accesses with a mask that is not one known processor.
  int Cpuid = 0, Rdmsr = 0, Wrmsr = 0, Rdtsc = 0, FindPci = 0, ReadPci = 0, WritePci = 0;
  int BadMasks = 0;
  int Processors = 1;
  uintptr_t LastTscMask = 0;

  uint64_t* FindMsr(int p, uint32_t index) {
    for (int i = 0; i < MsrCount[p]; ++i)
      if (Msrs[p][i].Index == index) return &Msrs[p][i].Value;
    return nullptr;
  }
  void SetMsr(int p, uint32_t index, uint64_t value) {
    if (uint64_t* v = FindMsr(p, index)) {
      *v = value;
    } else if (MsrCount[p] < kMaxMsrs) {
      Msrs[p][MsrCount[p]++] = {index, value};
    }
  }
  void SetMsrAll(uint32_t index, uint64_t value) {
    for (int p = 0; p < Processors; ++p) SetMsr(p, index, value);
  }
  uint64_t GetMsr(int p, uint32_t index) {
    uint64_t* v = FindMsr(p, index);
    return v ? *v : 0;
  }
  void AddDevice(uint16_t device, uint32_t address) { Devices[DeviceCount++] = {device, address}; }
  uint32_t* FindPciReg(uint32_t address, uint8_t reg) {
    for (int i = 0; i < PciRegCount; ++i)
      if (PciRegs[i].Address == address && PciRegs[i].Reg == reg) return &PciRegs[i].Value;
    return nullptr;
  }
  void SetPciReg(uint32_t address, uint8_t reg, uint32_t value) {
    if (uint32_t* v = FindPciReg(address, reg))
      *v = value;
    else
      PciRegs[PciRegCount++] = {address, reg, value};
  }
  void SetLeaf(uint32_t leaf, int processor, uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx) {
    Leaves[LeafCount++] = {leaf, processor, {eax, ebx, ecx, edx}};
  }
  const tLeaf* FindLeaf(uint32_t leaf, int processor) const {
    const tLeaf* shared = nullptr;
    for (int i = 0; i < LeafCount; ++i) {
      if (Leaves[i].Leaf != leaf) continue;
      if (Leaves[i].Processor == processor) return &Leaves[i];
      if (Leaves[i].Processor < 0) shared = &Leaves[i];
    }
    return shared;
  }
  void SetSmn(uint32_t address, uint32_t value) {
    for (int i = 0; i < SmnCount; ++i)
      if (Smn[i].Address == address) {
        Smn[i].Value = value;
        return;
      }
    Smn[SmnCount++] = {address, value};
  }
  uint32_t GetSmn(uint32_t address) const {
    for (int i = 0; i < SmnCount; ++i)
      if (Smn[i].Address == address) return Smn[i].Value;
    return 0xFFFFFFFFu;
  }
  void Refuse(uint32_t msr) { Refused[RefusedCount++] = msr; }
  bool IsRefused(uint32_t msr) const {
    if (NoMsrs) return true;
    for (int i = 0; i < RefusedCount; ++i)
      if (Refused[i] == msr) return true;
    return false;
  }
  // Processor of a single-bit mask; -1 (counted) for anything else.
  int ProcessorOf(uintptr_t mask) {
    for (int p = 0; p < Processors; ++p)
      if (mask == uintptr_t(1) << p) return p;
    ++BadMasks;
    return -1;
  }
};

inline tFakeCpu gFakeCpu;

namespace fake_driver {

inline tDriverBool KES_STDCALL InitializeOls() { return 1; }
inline void KES_STDCALL DeinitializeOls() {}
inline tDriverBool KES_STDCALL IsCpuid() { return 1; }
inline tDriverBool KES_STDCALL Cpuid(uint32_t leaf, uint32_t* eax, uint32_t* ebx, uint32_t* ecx,
                                     uint32_t* edx) {
  ++gFakeCpu.Cpuid;
  *eax = *ebx = *ecx = *edx = 0;
  if (leaf == 0) {
    *eax = gFakeCpu.MaxLeaf;
    std::memcpy(ebx, gFakeCpu.Vendor, 4);
    std::memcpy(edx, gFakeCpu.Vendor + 4, 4);
    std::memcpy(ecx, gFakeCpu.Vendor + 8, 4);
  } else if (leaf == 1) {
    *eax = gFakeCpu.Signature;
  } else if (const tFakeCpu::tLeaf* l = gFakeCpu.FindLeaf(leaf, gFakeCpu.CpuidProcessor)) {
    *eax = l->Regs[0];
    *ebx = l->Regs[1];
    *ecx = l->Regs[2];
    *edx = l->Regs[3];
  }
  return 1;
}
inline tDriverBool KES_STDCALL RdmsrEx(uint32_t msr, uint32_t* low, uint32_t* high, uintptr_t mask) {
  ++gFakeCpu.Rdmsr;
  const int p = gFakeCpu.ProcessorOf(mask);
  uint64_t value = 0;
  if (p >= 0 && gFakeCpu.IsRefused(msr)) {
    *low = *high = 0;
    return 0;
  }
  if (p >= 0) {
    if (msr == 0x30A && gFakeCpu.CoreCyclesStep)
      gFakeCpu.SetMsr(p, msr, gFakeCpu.GetMsr(p, msr) + gFakeCpu.CoreCyclesStep);
    if (msr == 0x30B && gFakeCpu.RefCyclesStep)
      gFakeCpu.SetMsr(p, msr, gFakeCpu.GetMsr(p, msr) + gFakeCpu.RefCyclesStep);
    value = gFakeCpu.GetMsr(p, msr);
  }
  *low = static_cast<uint32_t>(value);
  *high = static_cast<uint32_t>(value >> 32);
  return p >= 0;
}
inline tDriverBool KES_STDCALL WrmsrEx(uint32_t msr, uint32_t low, uint32_t high, uintptr_t mask) {
  ++gFakeCpu.Wrmsr;
  const int p = gFakeCpu.ProcessorOf(mask);
  if (p >= 0 && gFakeCpu.IsRefused(msr)) return 0;
  if (p >= 0) gFakeCpu.SetMsr(p, msr, static_cast<uint64_t>(high) << 32 | low);
  return p >= 0;
}
inline tDriverBool KES_STDCALL RdtscEx(uint32_t* low, uint32_t* high, uintptr_t mask) {
  ++gFakeCpu.Rdtsc;
  gFakeCpu.LastTscMask = mask;
  *low = static_cast<uint32_t>(gFakeCpu.Tsc);
  *high = static_cast<uint32_t>(gFakeCpu.Tsc >> 32);
  return 1;
}
inline uint32_t KES_STDCALL FindPciDeviceById(uint16_t vendor, uint16_t device, uint8_t index) {
  ++gFakeCpu.FindPci;
  for (int i = 0; i < gFakeCpu.DeviceCount; ++i)
    if (vendor == 0x1022 && index == 0 && gFakeCpu.Devices[i].Device == device)
      return gFakeCpu.Devices[i].Address;
  return kPciNotFound;
}
inline uint32_t KES_STDCALL ReadPciConfigDword(uint32_t address, uint8_t reg) {
  ++gFakeCpu.ReadPci;
  if (address == 0 && reg == 0x64) return gFakeCpu.GetSmn(gFakeCpu.SmnIndex);
  uint32_t* v = gFakeCpu.FindPciReg(address, reg);
  uint32_t value = v ? *v : 0xFFFFFFFFu;
  if (gFakeCpu.K8Sensors && reg == 0xE4)
    value = (value & 0xFF00FFFFu) | uint32_t(gFakeCpu.K8Reading[gFakeCpu.K8Select]) << 16;
  return value;
}
inline void KES_STDCALL WritePciConfigDword(uint32_t address, uint8_t reg, uint32_t value) {
  if (gFakeCpu.WritePci < tFakeCpu::kMaxPciWrites) gFakeCpu.PciWrites[gFakeCpu.WritePci] = {address, reg, value};
  ++gFakeCpu.WritePci;
  if (address == 0xC3 && reg == 0xE4) gFakeCpu.K8Select = (value >> 2) & 1;
  if (address == 0 && reg == 0x60) {
    gFakeCpu.SmnIndex = value;
    return;
  }
  gFakeCpu.SetPciReg(address, reg, value);
}

}  // namespace fake_driver

inline tDriverApi FakeDriverApi() {
  using namespace fake_driver;
  return tDriverApi{InitializeOls, DeinitializeOls, IsCpuid,           Cpuid,
                    RdmsrEx,       WrmsrEx,         RdtscEx,           FindPciDeviceById,
                    ReadPciConfigDword, WritePciConfigDword};
}

// CPUID on a chosen processor, as the platform's pinning hook does it.
inline bool FakePinnedCpuid(const tDriverApi& api, int32_t processor, uint32_t leaf, uint32_t regs[4]) {
  gFakeCpu.CpuidProcessor = processor;
  const bool ok = api.Cpuid(leaf, &regs[0], &regs[1], &regs[2], &regs[3]) != 0;
  gFakeCpu.CpuidProcessor = 0;
  return ok;
}

// A performance counter the tests move by hand.
struct tFakeCounter {
  static inline int64_t Value = 0;
  static inline bool Fails = false;
  static bool Read(int64_t* counter) {
    if (Fails) return false;
    *counter = Value;
    return true;
  }
};
