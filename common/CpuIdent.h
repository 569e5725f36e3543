#pragma once
// Processor identification: vendor text and CPUID signature to family, model,
// stepping, generation code and the model's defaults (temperature target of
// older Intel parts, PCI thermal device of AMD parts), and the naming texts.

#include "common/DriverApi.h"
#include "common/Generations.h"
#include "common/RegisterAccess.h"

#include <cstdint>
#include <string>


struct tCpuIdentity {
  char Vendor[13] = {};  // 12 characters and a terminating zero
  uint32_t Signature = 0;
  uint8_t Family = 0;
  uint8_t Model = 0;
  uint8_t Stepping = 0;
  uint8_t Generation = kGenUnsupported;
  double DefaultTjMax = 0.0;  // 0 when the model's target is read from the processor
  uint32_t ThermalDevice = kPciNotFound;  // AMD families 0Fh..16h only
  // The model row's name ("Tiger Lake", "Zen 3"); null: the generation's name.
  const char* Name = nullptr;
  // Intel: mask of the digital readout (bits 16 and up of 0x19C), and whether
  // the target is read on every logical processor (hybrid parts).
  uint8_t ReadoutMask = 0x7F;
  bool PerProcessorTarget = false;
  // AMD Zen: first per-CCD temperature register after SMN 0x59800 and how
  // many CCDs the model may have (0: none).
  uint16_t CcdOffset = 0;
  uint8_t CcdCount = 0;
};

// The AMD thermal device ids searched for a family (vendor 0x1022); 0 for none.
struct tAmdThermalIds {
  uint16_t Primary;
  uint16_t Fallback;
};
tAmdThermalIds GetAmdThermalIds(uint8_t family);

// Bit 0 of CPUID leaf 6 EAX: the digital thermal sensor.
constexpr uint32_t kCpuidDigitalThermalSensor = 0x1;

// Decodes vendor text (12 characters, need not be terminated) and signature.
// thermalLeafEax is CPUID leaf 6 EAX (0 when not read): an Intel model that no
// row names is read by the newest rules only when it reports the digital
// thermal sensor. The thermal device is left all ones; IdentifyCpu looks it up.
tCpuIdentity DecodeCpu(const char* vendor, uint32_t signature, int32_t processorCount,
                       uint32_t thermalLeafEax = 0);

// Reads CPUID leaves 0, 1 and (Intel) 6, decodes them and, for AMD families
// 0Fh..16h, looks the thermal device up.
tCpuIdentity IdentifyCpu(const tRegisterAccess& access, int32_t processorCount);
// The same through the driver library alone.
tCpuIdentity IdentifyCpu(const tDriverApi& driver, int32_t processorCount);

// Degrees the control temperature of an AMD Zen part lies above its die
// temperature, by its brand string (CPUID 0x80000002..4); 0 for most.
double GetZenTemperatureOffset(const char* brand);

// "Haswell" etc.; "Unsupported" for codes outside 0..14.
const char* GetGenerationName(uint8_t generation);

// "CPUID: 0806C1", "Family 16 Model  4", "Family 6 Model 3C Stepping 3".
std::string FormatCpuIdText(const tCpuIdentity& cpu);
// "Haswell (Family 6 Model 3C Stepping 3)", "Tiger Lake (Family 6 Model 8C
// Stepping 1)", "Zen 3 (Family 25 Model 21)"; an Intel processor that no row
// names reads "Intel (Family 6 Model D0 Stepping 1)".
std::string FormatModelName(const tCpuIdentity& cpu);
