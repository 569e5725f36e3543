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
  uint8_t Family;
  uint8_t First, Last;  // model range
  uint8_t Generation;
  tTjMaxRule Rule;
  double TjMax;
  const char* Name;     // null: the generation's name
  uint8_t ReadoutMask;  // of 0x19C bits 16 and up
  bool PerProcessorTarget;
};

// Intel models the engine knows; the first row whose family and model range
// match wins. Rows of generation 13 carry their own name.
constexpr tIntelModelRow kIntelModels[] = {
    {6, 0x0F, 0x0F, kGenCore, tTjMaxRule::Merom, 0, nullptr, 0x7F, false},  // Core 2 (Merom, Conroe, Kentsfield)
    {6, 0x17, 0x17, kGenCore, tTjMaxRule::Fixed, 100, nullptr, 0x7F, false},  // Core 2 (Penryn, Wolfdale, Yorkfield)
    {6, 0x1C, 0x1C, kGenAtom, tTjMaxRule::Diamondville, 0, nullptr, 0x7F, false},  // Atom (Diamondville, Pineview)
    {6, 0x1A, 0x1A, kGenNehalem, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i7 (Bloomfield)
    {6, 0x1E, 0x1E, kGenNehalem, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i5/i7 (Lynnfield)
    {6, 0x1F, 0x1F, kGenNehalem, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i5/i7 (Havendale)
    {6, 0x25, 0x25, kGenNehalem, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i3/i5 (Clarkdale, Arrandale)
    {6, 0x2C, 0x2C, kGenNehalem, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i7 (Gulftown)
    {6, 0x2E, 0x2E, kGenNehalem, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Xeon (Nehalem-EX)
    {6, 0x2F, 0x2F, kGenNehalem, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Xeon (Westmere-EX)
    {6, 0x2A, 0x2A, kGenSandyBridge, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i (Sandy Bridge)
    {6, 0x2D, 0x2D, kGenSandyBridge, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i7 (Sandy Bridge-E)
    {6, 0x3A, 0x3A, kGenIvyBridge, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i (Ivy Bridge)
    {6, 0x3E, 0x3E, kGenIvyBridge, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i7 (Ivy Bridge-E)
    {6, 0x3C, 0x3C, kGenHaswell, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i (Haswell)
    {6, 0x3F, 0x3F, kGenHaswell, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i7 (Haswell-E)
    {6, 0x45, 0x45, kGenHaswell, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i (Haswell ULT)
    {6, 0x46, 0x46, kGenHaswell, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i (Crystal Well)
    {6, 0x3D, 0x3D, kGenBroadwell, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core M (Broadwell)
    {6, 0x47, 0x47, kGenBroadwell, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i (Broadwell-H)
    {6, 0x4F, 0x4F, kGenBroadwell, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i7 (Broadwell-E)
    {6, 0x56, 0x56, kGenBroadwell, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Xeon D (Broadwell-DE)
    {6, 0x36, 0x36, kGenAtom, tTjMaxRule::Fixed, 100, nullptr, 0x7F, false},  // Atom (Cedarview): no readable target
    {6, 0x37, 0x37, kGenSilvermount, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Atom (Bay Trail)
    {6, 0x4A, 0x4A, kGenSilvermount, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Atom (Tangier)
    {6, 0x4D, 0x4D, kGenSilvermount, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Atom (Avoton, Rangeley)
    {6, 0x5A, 0x5A, kGenSilvermount, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Atom (Anniedale)
    {6, 0x5D, 0x5D, kGenSilvermount, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Atom (SoFIA)
    {6, 0x4E, 0x4E, kGenSkylake, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i (Skylake mobile)
    {6, 0x5E, 0x5E, kGenSkylake, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i (Skylake desktop)
    {6, 0x4C, 0x4C, kGenAirmont, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Atom (Cherry Trail, Braswell)
    {6, 0x8E, 0x8E, kGenKabylake, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i (Kaby Lake mobile)
    {6, 0x9E, 0x9E, kGenKabylake, tTjMaxRule::Read, 0, nullptr, 0x7F, false},  // Core i (Kaby Lake desktop)
    {6, 0xA5, 0xA6, kGenIntel, tTjMaxRule::Read, 0, "Comet Lake", 0x7F, false},
    {6, 0x66, 0x66, kGenIntel, tTjMaxRule::Read, 0, "Cannon Lake", 0x7F, false},
    {6, 0x7D, 0x7E, kGenIntel, tTjMaxRule::Read, 0, "Ice Lake", 0x7F, false},
    {6, 0x6A, 0x6A, kGenIntel, tTjMaxRule::Read, 0, "Ice Lake", 0x7F, false},  // Xeon
    {6, 0x6C, 0x6C, kGenIntel, tTjMaxRule::Read, 0, "Ice Lake", 0x7F, false},  // Xeon D
    {6, 0xA7, 0xA7, kGenIntel, tTjMaxRule::Read, 0, "Rocket Lake", 0x7F, false},
    {6, 0x8C, 0x8D, kGenIntel, tTjMaxRule::Read, 0, "Tiger Lake", 0xFF, false},
    {6, 0x8A, 0x8A, kGenIntel, tTjMaxRule::Read, 0, "Lakefield", 0xFF, true},
    {6, 0x97, 0x97, kGenIntel, tTjMaxRule::Read, 0, "Alder Lake", 0xFF, true},
    {6, 0x9A, 0x9A, kGenIntel, tTjMaxRule::Read, 0, "Alder Lake", 0xFF, true},
    {6, 0xBE, 0xBE, kGenIntel, tTjMaxRule::Read, 0, "Alder Lake-N", 0xFF, false},  // E-cores only
    {6, 0xB7, 0xB7, kGenIntel, tTjMaxRule::Read, 0, "Raptor Lake", 0xFF, true},
    {6, 0xBA, 0xBA, kGenIntel, tTjMaxRule::Read, 0, "Raptor Lake", 0xFF, true},
    {6, 0xBF, 0xBF, kGenIntel, tTjMaxRule::Read, 0, "Raptor Lake", 0xFF, true},
    {6, 0xAA, 0xAA, kGenIntel, tTjMaxRule::Read, 0, "Meteor Lake", 0xFF, true},
    {6, 0xAC, 0xAC, kGenIntel, tTjMaxRule::Read, 0, "Meteor Lake", 0xFF, true},
    {6, 0xC5, 0xC6, kGenIntel, tTjMaxRule::Read, 0, "Arrow Lake", 0xFF, true},
    {6, 0xB5, 0xB5, kGenIntel, tTjMaxRule::Read, 0, "Arrow Lake", 0xFF, true},
    {6, 0xBD, 0xBD, kGenIntel, tTjMaxRule::Read, 0, "Lunar Lake", 0xFF, true},
    {6, 0xCC, 0xCC, kGenIntel, tTjMaxRule::Read, 0, "Panther Lake", 0xFF, true},
    {18, 0x01, 0x01, kGenIntel, tTjMaxRule::Read, 0, "Nova Lake", 0xFF, true},
    {18, 0x03, 0x03, kGenIntel, tTjMaxRule::Read, 0, "Nova Lake", 0xFF, true},
    {6, 0x5C, 0x5C, kGenIntel, tTjMaxRule::Read, 0, "Goldmont", 0x7F, false},  // Apollo Lake
    {6, 0x5F, 0x5F, kGenIntel, tTjMaxRule::Read, 0, "Goldmont", 0x7F, false},  // Denverton
    {6, 0x7A, 0x7A, kGenIntel, tTjMaxRule::Read, 0, "Goldmont Plus", 0x7F, false},  // Gemini Lake
    {6, 0x86, 0x86, kGenIntel, tTjMaxRule::Read, 0, "Tremont", 0x7F, false},  // Jacobsville
    {6, 0x96, 0x96, kGenIntel, tTjMaxRule::Read, 0, "Tremont", 0x7F, false},  // Elkhart Lake
    {6, 0x9C, 0x9C, kGenIntel, tTjMaxRule::Read, 0, "Tremont", 0x7F, false},  // Jasper Lake
};

// An Intel processor no row names, of family 6 from this model on or of
// family 18, that reports the digital thermal sensor: read by the newest
// rules (8-bit readout, target per processor) under the plain vendor name.
constexpr uint8_t kIntelUnnamedFirstModel = 0xA0;
constexpr tIntelModelRow kIntelUnnamed = {0, 0, 0, kGenIntel, tTjMaxRule::Read, 0, "Intel", 0xFF, true};

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

struct tZenModelRow {
  uint8_t Family;
  uint8_t First, Last;  // model range
  const char* Name;
  uint16_t CcdOffset;  // first per-CCD register after SMN 0x59800; 0: none
  uint8_t CcdCount;    // CCDs the model may have
};

// AMD Zen models (families 17h, 19h, 1Ah); the first matching row wins, so
// the rows with per-CCD temperatures come before the ranges around them.
constexpr tZenModelRow kZenModels[] = {
    {0x17, 0x01, 0x01, "Zen", 0x154, 4},     // Summit Ridge, Naples
    {0x17, 0x08, 0x08, "Zen+", 0x154, 4},    // Pinnacle Ridge
    {0x17, 0x11, 0x11, "Zen", 0x154, 4},     // Raven Ridge
    {0x17, 0x18, 0x18, "Zen+", 0x154, 4},    // Picasso
    {0x17, 0x00, 0x2F, "Zen", 0, 0},
    {0x17, 0x50, 0x5F, "Zen", 0, 0},
    {0x17, 0x31, 0x31, "Zen 2", 0x154, 8},   // Castle Peak, Rome
    {0x17, 0x60, 0x60, "Zen 2", 0x154, 8},   // Renoir
    {0x17, 0x68, 0x68, "Zen 2", 0x154, 8},   // Lucienne
    {0x17, 0x71, 0x71, "Zen 2", 0x154, 8},   // Matisse
    {0x17, 0xA0, 0xAF, "Zen 2", 0x300, 8},   // Mendocino
    {0x17, 0x30, 0x4F, "Zen 2", 0, 0},
    {0x17, 0x60, 0x7F, "Zen 2", 0, 0},
    {0x17, 0x90, 0x91, "Zen 2", 0, 0},       // Van Gogh
    {0x19, 0x00, 0x01, "Zen 3", 0x154, 8},   // Milan
    {0x19, 0x08, 0x08, "Zen 3", 0x154, 8},   // Chagall
    {0x19, 0x21, 0x21, "Zen 3", 0x154, 8},   // Vermeer
    {0x19, 0x50, 0x5F, "Zen 3", 0x154, 8},   // Cezanne
    {0x19, 0x40, 0x4F, "Zen 3", 0x300, 8},   // Rembrandt
    {0x19, 0x00, 0x0F, "Zen 3", 0, 0},
    {0x19, 0x20, 0x5F, "Zen 3", 0, 0},
    {0x19, 0x60, 0x7F, "Zen 4", 0x308, 8},   // Raphael, Phoenix
    {0x19, 0x10, 0x1F, "Zen 4", 0x300, 12},  // Genoa
    {0x19, 0xA0, 0xAF, "Zen 4", 0x300, 12},  // Bergamo, Siena
    {0x19, 0x80, 0x9F, "Zen 4", 0, 0},
    {0x1A, 0x40, 0x4F, "Zen 5", 0x308, 8},   // Granite Ridge
    {0x1A, 0x00, 0x2F, "Zen 5", 0, 0},
    {0x1A, 0x60, 0x7F, "Zen 5", 0, 0},
};

// The first Zen family; it and later families take the extended model bits.
constexpr uint8_t kFirstZenFamily = 0x17;

struct tBrandOffset {
  const char* Text;  // found anywhere in the brand string
  double Offset;     // degrees the control temperature lies above the die's
};

constexpr tBrandOffset kZenBrandOffsets[] = {
    {"Ryzen 5 1600X", 20}, {"Ryzen 7 1700X", 20}, {"Ryzen 7 1800X", 20},
    {"Ryzen 7 2700X", 10}, {"Threadripper 19", 27}, {"Threadripper 29", 27},
};

constexpr const char* kGenerationNames[] = {
    "Unsupported", "Core",        "Nehalem", "SandyBridge", "IvyBridge", "Haswell", "Broadwell",
    "Atom",        "Silvermount", "Skylake", "Airmont",     "Kabylake",  "AMD",     "Intel",
    "Zen",
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

void ApplyIntelRow(tCpuIdentity& cpu, const tIntelModelRow& row, int32_t processorCount) {
  cpu.Generation = row.Generation;
  cpu.DefaultTjMax = DefaultTjMax(row, cpu.Stepping, processorCount);
  cpu.Name = row.Name;
  cpu.ReadoutMask = row.ReadoutMask;
  cpu.PerProcessorTarget = row.PerProcessorTarget;
}

void DecodeIntel(tCpuIdentity& cpu, int32_t processorCount, uint32_t thermalLeafEax) {
  const uint32_t s = cpu.Signature;
  cpu.Family = static_cast<uint8_t>(((s >> 20) & 0xFF) + ((s >> 8) & 0xF));
  cpu.Model = static_cast<uint8_t>((((s >> 16) & 0xF) << 4) + ((s >> 4) & 0xF));
  cpu.Stepping = static_cast<uint8_t>(s & 0xF);
  for (const tIntelModelRow& row : kIntelModels) {
    if (row.Family != cpu.Family || cpu.Model < row.First || cpu.Model > row.Last) continue;
    ApplyIntelRow(cpu, row, processorCount);
    return;
  }
  const bool newer = (cpu.Family == 6 && cpu.Model >= kIntelUnnamedFirstModel) || cpu.Family == 18;
  if (newer && (thermalLeafEax & kCpuidDigitalThermalSensor) != 0)
    ApplyIntelRow(cpu, kIntelUnnamed, processorCount);
}

void DecodeZen(tCpuIdentity& cpu) {
  // Zen takes the extended model bits 19..16 as the high nibble.
  const uint32_t s = cpu.Signature;
  cpu.Model = static_cast<uint8_t>((((s >> 16) & 0xF) << 4) + ((s >> 4) & 0xF));
  for (const tZenModelRow& row : kZenModels) {
    if (row.Family != cpu.Family || cpu.Model < row.First || cpu.Model > row.Last) continue;
    cpu.Generation = kGenZen;
    cpu.Name = row.Name;
    cpu.CcdOffset = row.CcdOffset;
    cpu.CcdCount = row.CcdCount;
    return;
  }
}

void DecodeAmd(tCpuIdentity& cpu) {
  const uint32_t s = cpu.Signature;
  cpu.Family = static_cast<uint8_t>(((s >> 20) & 0xFF) + ((s >> 8) & 0xF));
  if (cpu.Family >= kFirstZenFamily) return DecodeZen(cpu);
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

tCpuIdentity DecodeCpu(const char* vendor, uint32_t signature, int32_t processorCount,
                       uint32_t thermalLeafEax) {
  tCpuIdentity cpu;
  std::memcpy(cpu.Vendor, vendor, 12);
  cpu.Vendor[12] = 0;
  cpu.Signature = signature;
  if (std::memcmp(cpu.Vendor, "GenuineIntel", 12) == 0)
    DecodeIntel(cpu, processorCount, thermalLeafEax);
  else if (std::memcmp(cpu.Vendor, "AuthenticAMD", 12) == 0)
    DecodeAmd(cpu);
  return cpu;
}

tCpuIdentity IdentifyCpu(const tRegisterAccess& access, int32_t processorCount) {
  uint32_t regs[4] = {};
  access.Cpuid(access.Context, 0, 0, regs);
  const uint32_t maxLeaf = regs[0];
  char vendor[12];
  std::memcpy(vendor, &regs[1], 4);
  std::memcpy(vendor + 4, &regs[3], 4);
  std::memcpy(vendor + 8, &regs[2], 4);
  uint32_t leaf1[4] = {};
  access.Cpuid(access.Context, 0, 1, leaf1);
  uint32_t leaf6[4] = {};
  if (maxLeaf >= 6 && std::memcmp(vendor, "GenuineIntel", 12) == 0 &&
      !access.Cpuid(access.Context, 0, 6, leaf6))
    leaf6[0] = 0;
  tCpuIdentity cpu = DecodeCpu(vendor, leaf1[0], processorCount, leaf6[0]);
  if (cpu.Generation == kGenAmd) {
    const tAmdThermalIds ids = GetAmdThermalIds(cpu.Family);
    cpu.ThermalDevice = access.FindThermalDevice(access.Context, ids.Primary);
    if (cpu.ThermalDevice == kPciNotFound && ids.Fallback != 0)
      cpu.ThermalDevice = access.FindThermalDevice(access.Context, ids.Fallback);
  }
  return cpu;
}

tCpuIdentity IdentifyCpu(const tDriverApi& driver, int32_t processorCount) {
  tDriverAccess library;
  library.Api = &driver;
  return IdentifyCpu(MakeDriverAccess(library), processorCount);
}

double GetZenTemperatureOffset(const char* brand) {
  for (const tBrandOffset& row : kZenBrandOffsets)
    if (std::strstr(brand, row.Text) != nullptr) return row.Offset;
  return 0.0;
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
  else if (cpu.Generation == kGenAmd || cpu.Generation == kGenZen)
    std::snprintf(text, sizeof text, "Family %d Model %2X", cpu.Family, cpu.Model);
  else
    std::snprintf(text, sizeof text, "Family %d Model %2X Stepping %d", cpu.Family, cpu.Model,
                  cpu.Stepping);
  return text;
}

std::string FormatModelName(const tCpuIdentity& cpu) {
  const char* name = cpu.Name != nullptr ? cpu.Name : GetGenerationName(cpu.Generation);
  return std::string(name) + " (" + FormatCpuIdText(cpu) + ")";
}
