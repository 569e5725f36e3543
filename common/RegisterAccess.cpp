// The driver-library back end of the register table.
#include "common/RegisterAccess.h"

namespace {

// PCI configuration space of the first root complex (bus 0, device 0,
// function 0): vendor id in register 0, SMN index and data registers.
constexpr uint32_t kPciRootComplex = 0x0;
constexpr uint8_t kPciVendorRegister = 0x00;
constexpr uint8_t kPciSmnIndex = 0x60;
constexpr uint8_t kPciSmnData = 0x64;
constexpr uint32_t kAmdVendorId = 0x1022;

// Registers of the old AMD thermal devices.
constexpr uint8_t kPciK8ThermTrip = 0xE4;
constexpr uint8_t kPciReportedTemp = 0xA4;
constexpr uint32_t kPciK8Misc = 0xC3;  // bus 0, device 24, function 3: where the core is selected

const tDriverAccess& Of(void* context) { return *static_cast<const tDriverAccess*>(context); }

// The single-bit affinity mask of a processor; 0 when no mask can name it.
uintptr_t MaskOf(int32_t processor) {
  if (processor < 0 || processor >= static_cast<int32_t>(sizeof(uintptr_t) * 8)) return 0;
  return uintptr_t(1) << processor;
}

bool Cpuid(void* context, int32_t processor, uint32_t leaf, uint32_t regs[4]) {
  const tDriverAccess& a = Of(context);
  regs[0] = regs[1] = regs[2] = regs[3] = 0;
  if (a.Hooks.PinnedCpuid != nullptr) return a.Hooks.PinnedCpuid(*a.Api, processor, leaf, regs);
  return a.Api->Cpuid(leaf, &regs[0], &regs[1], &regs[2], &regs[3]) != 0;
}

bool ReadMsr(void* context, int32_t processor, uint32_t msr, uint64_t* value) {
  const uintptr_t mask = MaskOf(processor);
  uint32_t low = 0, high = 0;
  const bool ok = mask != 0 && Of(context).Api->RdmsrEx(msr, &low, &high, mask) != 0;
  *value = static_cast<uint64_t>(high) << 32 | low;
  return ok;
}

bool WriteMsr(void* context, int32_t processor, uint32_t msr, uint64_t value) {
  const uintptr_t mask = MaskOf(processor);
  return mask != 0 && Of(context).Api->WrmsrEx(msr, static_cast<uint32_t>(value),
                                               static_cast<uint32_t>(value >> 32), mask) != 0;
}

bool ReadTsc(void* context, int32_t processor, uint64_t* value) {
  const uintptr_t mask = MaskOf(processor);
  uint32_t low = 0, high = 0;
  const bool ok = mask != 0 && Of(context).Api->RdtscEx(&low, &high, mask) != 0;
  *value = static_cast<uint64_t>(high) << 32 | low;
  return ok;
}

bool ReadSmn(void* context, uint32_t address, uint32_t* value) {
  const tDriverApi& api = *Of(context).Api;
  const uint32_t id = api.ReadPciConfigDword(kPciRootComplex, kPciVendorRegister);
  if ((id & 0xFFFF) != kAmdVendorId) return false;
  api.WritePciConfigDword(kPciRootComplex, kPciSmnIndex, address);
  *value = api.ReadPciConfigDword(kPciRootComplex, kPciSmnData);
  return true;
}

bool LockSmn(void* context) {
  const tDriverAccess& a = Of(context);
  return a.Hooks.LockPci == nullptr || a.Hooks.LockPci();
}

void UnlockSmn(void* context) {
  const tDriverAccess& a = Of(context);
  if (a.Hooks.UnlockPci != nullptr) a.Hooks.UnlockPci();
}

uint32_t FindThermalDevice(void* context, uint16_t deviceId) {
  return Of(context).Api->FindPciDeviceById(static_cast<uint16_t>(kAmdVendorId), deviceId, 0);
}

bool ReadReportedTemperature(void* context, uint32_t thermalDevice, uint32_t* value) {
  *value = Of(context).Api->ReadPciConfigDword(thermalDevice, kPciReportedTemp);
  return true;
}

// The core's sensor is selected at the fixed miscellaneous-control address
// with the value read from the thermal device: bit 2 cleared (and the upper
// half dropped) for core 0, set for core 1; then the device is read again.
bool ReadK8ThermTrip(void* context, uint32_t thermalDevice, int core, uint32_t* value) {
  const tDriverApi& api = *Of(context).Api;
  const uint32_t current = api.ReadPciConfigDword(thermalDevice, kPciK8ThermTrip);
  api.WritePciConfigDword(kPciK8Misc, kPciK8ThermTrip, core ? (current | 4) : (current & 0xFFFB));
  *value = api.ReadPciConfigDword(thermalDevice, kPciK8ThermTrip);
  return true;
}

}  // namespace

tRegisterAccess MakeDriverAccess(tDriverAccess& access) {
  tRegisterAccess table{};
  table.Context = &access;
  table.Cpuid = &Cpuid;
  table.ReadMsr = &ReadMsr;
  table.WriteMsr = &WriteMsr;
  table.ReadTsc = &ReadTsc;
  table.ReadSmn = &ReadSmn;
  table.LockSmn = &LockSmn;
  table.UnlockSmn = &UnlockSmn;
  table.FindThermalDevice = &FindThermalDevice;
  table.ReadReportedTemperature = &ReadReportedTemperature;
  table.ReadK8ThermTrip = &ReadK8ThermTrip;
  return table;
}
