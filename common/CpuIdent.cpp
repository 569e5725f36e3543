#include "common/CpuIdent.h"

#include <cstdio>
#include <cstring>

namespace {

// How a model's default temperature target is chosen.
enum class tTjMaxRule : uint8_t {
  Read,        // none: read from the processor at start
  Fixed,       // the row's value
  Merom,       // model 0x0F: by stepping and processor count
  Diamondville // model 0x1C: by stepping
};

struct tIntelModelRow {
  uint8_t Model;
  uint8_t Generation;
  tTjMaxRule Rule;
  double TjMax;
};

// Family 6 models the engine knows; any other model is unsupported.
constexpr tIntelModelRow kIntelModels[] = {
    {0x0F, kGenCore, tTjMaxRule::Merom, 0},           // Core 2 (Merom, Conroe, Kentsfield)
    {0x17, kGenCore, tTjMaxRule::Fixed, 100},         // Core 2 (Penryn, Wolfdale, Yorkfield)
    {0x1C, kGenAtom, tTjMaxRule::Diamondville, 0},    // Atom (Diamondville, Pineview)
    {0x1A, kGenNehalem, tTjMaxRule::Read, 0},         // Core i7 (Bloomfield)
    {0x1E, kGenNehalem, tTjMaxRule::Read, 0},         // Core i5/i7 (Lynnfield)
    {0x1F, kGenNehalem, tTjMaxRule::Read, 0},         // Core i5/i7 (Havendale)
    {0x25, kGenNehalem, tTjMaxRule::Read, 0},         // Core i3/i5 (Clarkdale, Arrandale)
    {0x2C, kGenNehalem, tTjMaxRule::Read, 0},         // Core i7 (Gulftown)
    {0x2E, kGenNehalem, tTjMaxRule::Read, 0},         // Xeon (Nehalem-EX)
    {0x2F, kGenNehalem, tTjMaxRule::Read, 0},         // Xeon (Westmere-EX)
    {0x2A, kGenSandyBridge, tTjMaxRule::Read, 0},     // Core i (Sandy Bridge)
    {0x2D, kGenSandyBridge, tTjMaxRule::Read, 0},     // Core i7 (Sandy Bridge-E)
    {0x3A, kGenIvyBridge, tTjMaxRule::Read, 0},       // Core i (Ivy Bridge)
    {0x3E, kGenIvyBridge, tTjMaxRule::Read, 0},       // Core i7 (Ivy Bridge-E)
    {0x3C, kGenHaswell, tTjMaxRule::Read, 0},         // Core i (Haswell)
    {0x3F, kGenHaswell, tTjMaxRule::Read, 0},         // Core i7 (Haswell-E)
    {0x45, kGenHaswell, tTjMaxRule::Read, 0},         // Core i (Haswell ULT)
    {0x46, kGenHaswell, tTjMaxRule::Read, 0},         // Core i (Crystal Well)
    {0x3D, kGenBroadwell, tTjMaxRule::Read, 0},       // Core M (Broadwell)
    {0x47, kGenBroadwell, tTjMaxRule::Read, 0},       // Core i (Broadwell-H)
    {0x4F, kGenBroadwell, tTjMaxRule::Read, 0},       // Core i7 (Broadwell-E)
    {0x56, kGenBroadwell, tTjMaxRule::Read, 0},       // Xeon D (Broadwell-DE)
    {0x36, kGenAtom, tTjMaxRule::Fixed, 100},         // Atom (Cedarview): no readable target
    {0x37, kGenSilvermount, tTjMaxRule::Read, 0},     // Atom (Bay Trail)
    {0x4A, kGenSilvermount, tTjMaxRule::Read, 0},     // Atom (Tangier)
    {0x4D, kGenSilvermount, tTjMaxRule::Read, 0},     // Atom (Avoton, Rangeley)
    {0x5A, kGenSilvermount, tTjMaxRule::Read, 0},     // Atom (Anniedale)
    {0x5D, kGenSilvermount, tTjMaxRule::Read, 0},     // Atom (SoFIA)
    {0x4E, kGenSkylake, tTjMaxRule::Read, 0},         // Core i (Skylake mobile)
    {0x5E, kGenSkylake, tTjMaxRule::Read, 0},         // Core i (Skylake desktop)
    {0x4C, kGenAirmont, tTjMaxRule::Read, 0},         // Atom (Cherry Trail, Braswell)
    {0x8E, kGenKabylake, tTjMaxRule::Read, 0},        // Core i (Kaby Lake mobile)
    {0x9E, kGenKabylake, tTjMaxRule::Read, 0},        // Core i (Kaby Lake desktop)
};

struct tAmdFamilyRow {
  uint8_t Family;
  tAmdThermalIds Ids;
};

// AMD families the engine reads temperatures of, with their thermal device ids.
constexpr tAmdFamilyRow kAmdFamilies[] = {
    {0x0F, {0x1103, 0}},       // K8 (Athlon 64, Opteron)
    {0x10, {0x1203, 0x1303}},  // K10 (Phenom, Athlon II)
    {0x11, {0x1303, 0}},       // Turion X2 Ultra (Griffin)
    {0x12, {0x1703, 0}},       // Llano
    {0x14, {0x1703, 0}},       // Bobcat (Brazos)
    {0x15, {0x1603, 0x1403}},  // Bulldozer and successors
    {0x16, {0x1533, 0}},       // Jaguar (Kabini)
};

constexpr const char* kGenerationNames[] = {
    "Unsupported", "Core", "Nehalem", "SandyBridge", "IvyBridge", "Haswell",   "Broadwell",
    "Atom",        "Silvermount", "Skylake", "Airmont", "Kabylake", "AMD",
};

double DefaultTjMax(const tIntelModelRow& row, uint8_t stepping, int32_t processorCount) {
  switch (row.Rule) {
    case tTjMaxRule::Fixed:
      return row.TjMax;
    case tTjMaxRule::Merom:
      if (stepping == 6) return processorCount == 2 ? 90 : processorCount == 4 ? 100 : 95;
      return stepping == 11 ? 100 : 95;
    case tTjMaxRule::Diamondville:
      return stepping == 10 ? 100 : 90;
    case tTjMaxRule::Read:
      break;
  }
  return 0.0;
}

void DecodeIntel(tCpuIdentity& cpu, int32_t processorCount) {
  const uint32_t s = cpu.Signature;
  cpu.Family = static_cast<uint8_t>(((s >> 20) & 0xFF) + ((s >> 8) & 0xF));
  cpu.Model = static_cast<uint8_t>((((s >> 16) & 0xF) << 4) + ((s >> 4) & 0xF));
  cpu.Stepping = static_cast<uint8_t>(s & 0xF);
  if (cpu.Family != 6) return;
  for (const tIntelModelRow& row : kIntelModels) {
    if (row.Model != cpu.Model) continue;
    cpu.Generation = row.Generation;
    cpu.DefaultTjMax = DefaultTjMax(row, cpu.Stepping, processorCount);
    return;
  }
}

void DecodeAmd(tCpuIdentity& cpu) {
  const uint32_t s = cpu.Signature;
  cpu.Family = static_cast<uint8_t>(((s >> 20) & 0xFF) + ((s >> 8) & 0xF));
  // A base model of 0xF takes the low extended-family bits as its high nibble.
  cpu.Model = static_cast<uint8_t>((s >> 4) & 0xF);
  if (cpu.Model == 0xF) cpu.Model = static_cast<uint8_t>(cpu.Model + ((s >> 16) & 0xF0));
  if (GetAmdThermalIds(cpu.Family).Primary != 0) cpu.Generation = kGenAmd;
}

}  // namespace

tAmdThermalIds GetAmdThermalIds(uint8_t family) {
  for (const tAmdFamilyRow& row : kAmdFamilies)
    if (row.Family == family) return row.Ids;
  return {0, 0};
}

tCpuIdentity DecodeCpu(const char* vendor, uint32_t signature, int32_t processorCount) {
  tCpuIdentity cpu;
  std::memcpy(cpu.Vendor, vendor, 12);
  cpu.Vendor[12] = 0;
  cpu.Signature = signature;
  if (std::memcmp(cpu.Vendor, "GenuineIntel", 12) == 0)
    DecodeIntel(cpu, processorCount);
  else if (std::memcmp(cpu.Vendor, "AuthenticAMD", 12) == 0)
    DecodeAmd(cpu);
  return cpu;
}

tCpuIdentity IdentifyCpu(const tDriverApi& driver, int32_t processorCount) {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
  driver.Cpuid(0, &eax, &ebx, &ecx, &edx);
  char vendor[12];
  std::memcpy(vendor, &ebx, 4);
  std::memcpy(vendor + 4, &edx, 4);
  std::memcpy(vendor + 8, &ecx, 4);
  eax = ebx = ecx = edx = 0;
  driver.Cpuid(1, &eax, &ebx, &ecx, &edx);
  tCpuIdentity cpu = DecodeCpu(vendor, eax, processorCount);
  if (cpu.Generation == kGenAmd) {
    const tAmdThermalIds ids = GetAmdThermalIds(cpu.Family);
    cpu.ThermalDevice = driver.FindPciDeviceById(0x1022, ids.Primary, 0);
    if (cpu.ThermalDevice == kPciNotFound && ids.Fallback != 0)
      cpu.ThermalDevice = driver.FindPciDeviceById(0x1022, ids.Fallback, 0);
  }
  return cpu;
}

const char* GetGenerationName(uint8_t generation) {
  return generation < sizeof kGenerationNames / sizeof kGenerationNames[0]
             ? kGenerationNames[generation]
             : kGenerationNames[kGenUnsupported];
}

std::string FormatCpuIdText(const tCpuIdentity& cpu) {
  char text[64];
  if (cpu.Generation == kGenUnsupported)
    std::snprintf(text, sizeof text, "CPUID: %.6X", static_cast<unsigned>(cpu.Signature));
  else if (cpu.Generation == kGenAmd)
    std::snprintf(text, sizeof text, "Family %d Model %2X", cpu.Family, cpu.Model);
  else
    std::snprintf(text, sizeof text, "Family %d Model %2X Stepping %d", cpu.Family, cpu.Model,
                  cpu.Stepping);
  return text;
}

std::string FormatModelName(const tCpuIdentity& cpu) {
  return std::string(GetGenerationName(cpu.Generation)) + " (" + FormatCpuIdText(cpu) + ")";
}
