#pragma once
// Processor identification: vendor text and CPUID signature to family, model,
// stepping, generation code and the model's defaults (temperature target of
// older Intel parts, PCI thermal device of AMD parts), and the naming texts.

#include "common/DriverApi.h"

#include <cstdint>
#include <string>

// Generation codes; 1 to 11 derive the clock from multiplier and bus clock.
enum : uint8_t {
  kGenUnsupported = 0,
  kGenCore = 1,
  kGenNehalem = 2,
  kGenSandyBridge = 3,
  kGenIvyBridge = 4,
  kGenHaswell = 5,
  kGenBroadwell = 6,
  kGenAtom = 7,
  kGenSilvermount = 8,
  kGenSkylake = 9,
  kGenAirmont = 10,
  kGenKabylake = 11,
  kGenAmd = 12,
};

struct tCpuIdentity {
  char Vendor[13] = {};  // 12 characters and a terminating zero
  uint32_t Signature = 0;
  uint8_t Family = 0;
  uint8_t Model = 0;
  uint8_t Stepping = 0;
  uint8_t Generation = kGenUnsupported;
  double DefaultTjMax = 0.0;  // 0 when the model's target is read from the processor
  uint32_t ThermalDevice = kPciNotFound;  // AMD only
};

// The AMD thermal device ids searched for a family (vendor 0x1022); 0 for none.
struct tAmdThermalIds {
  uint16_t Primary;
  uint16_t Fallback;
};
tAmdThermalIds GetAmdThermalIds(uint8_t family);

// Decodes vendor text (12 characters, need not be terminated) and signature.
// The thermal device is left all ones; IdentifyCpu looks it up.
tCpuIdentity DecodeCpu(const char* vendor, uint32_t signature, int32_t processorCount);

// Reads CPUID leaves 0 and 1 through the driver, decodes them and, for AMD,
// looks the thermal device up on the PCI bus.
tCpuIdentity IdentifyCpu(const tDriverApi& driver, int32_t processorCount);

// "Haswell" etc.; "Unsupported" for codes outside 0..12.
const char* GetGenerationName(uint8_t generation);

// "CPUID: 0806C1", "Family 16 Model  4", "Family 6 Model 3C Stepping 3".
std::string FormatCpuIdText(const tCpuIdentity& cpu);
// "Haswell (Family 6 Model 3C Stepping 3)".
std::string FormatModelName(const tCpuIdentity& cpu);
