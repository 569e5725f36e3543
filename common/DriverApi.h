#pragma once
// The entry points of the ring-0 driver library "WinRing0.dll", as a table of
// function pointers. The sampling engine reaches the library only through this
// table, so the same code runs against the real library, the stand-in DLL under
// Wine, or a fake table in a native test. Plain C types only; every entry point
// uses the platform's standard calling convention (stdcall on 32-bit Windows).

#include <cstdint>

#if defined(_WIN32)
#define KES_STDCALL __stdcall
#else
#define KES_STDCALL
#endif

// Booleans of the library are 32-bit integers: non-zero means true.
typedef int32_t tDriverBool;

struct tDriverApi {
  tDriverBool(KES_STDCALL* InitializeOls)();
  void(KES_STDCALL* DeinitializeOls)();
  tDriverBool(KES_STDCALL* IsCpuid)();
  tDriverBool(KES_STDCALL* Cpuid)(uint32_t leaf, uint32_t* eax, uint32_t* ebx, uint32_t* ecx,
                                  uint32_t* edx);
  // The affinity mask selects the one logical processor the access runs on.
  tDriverBool(KES_STDCALL* RdmsrEx)(uint32_t msr, uint32_t* low, uint32_t* high,
                                    uintptr_t affinityMask);
  tDriverBool(KES_STDCALL* WrmsrEx)(uint32_t msr, uint32_t low, uint32_t high,
                                    uintptr_t affinityMask);
  tDriverBool(KES_STDCALL* RdtscEx)(uint32_t* low, uint32_t* high, uintptr_t affinityMask);
  // PCI address: bus << 8 | device << 3 | function; all ones when not found.
  uint32_t(KES_STDCALL* FindPciDeviceById)(uint16_t vendorId, uint16_t deviceId, uint8_t index);
  uint32_t(KES_STDCALL* ReadPciConfigDword)(uint32_t pciAddress, uint8_t regAddress);
  void(KES_STDCALL* WritePciConfigDword)(uint32_t pciAddress, uint8_t regAddress, uint32_t value);
};

// PCI address returned when no device matches.
constexpr uint32_t kPciNotFound = 0xFFFFFFFFu;
