#include "common/CpuIdent.h"
#include "tests/common/FakeDriver.h"

#include <gtest/gtest.h>

namespace {

struct tDecodeCase {
  const char* Vendor;
  uint32_t Signature;
  int32_t Processors;
  int Family, Model, Stepping, Generation;
  double TjMax;
  const char* Name;
};

// Signatures to family, model, stepping, generation, default target and name.
const tDecodeCase kDecodeCases[] = {
    {"GenuineIntel", 0x306C3, 4, 6, 0x3C, 3, kGenHaswell, 0, "Haswell (Family 6 Model 3C Stepping 3)"},
    {"GenuineIntel", 0x806C1, 4, 6, 0x8C, 1, kGenIntel, 0, "Tiger Lake (Family 6 Model 8C Stepping 1)"},
    {"GenuineIntel", 0x006F6, 2, 6, 0x0F, 6, kGenCore, 90, "Core (Family 6 Model  F Stepping 6)"},
    {"GenuineIntel", 0x006F6, 4, 6, 0x0F, 6, kGenCore, 100, "Core (Family 6 Model  F Stepping 6)"},
    {"GenuineIntel", 0x006F6, 8, 6, 0x0F, 6, kGenCore, 95, "Core (Family 6 Model  F Stepping 6)"},
    {"GenuineIntel", 0x006FB, 2, 6, 0x0F, 11, kGenCore, 100, "Core (Family 6 Model  F Stepping 11)"},
    {"GenuineIntel", 0x006F2, 2, 6, 0x0F, 2, kGenCore, 95, "Core (Family 6 Model  F Stepping 2)"},
    {"GenuineIntel", 0x10676, 2, 6, 0x17, 6, kGenCore, 100, "Core (Family 6 Model 17 Stepping 6)"},
    {"GenuineIntel", 0x106CA, 2, 6, 0x1C, 10, kGenAtom, 100, "Atom (Family 6 Model 1C Stepping 10)"},
    {"GenuineIntel", 0x106C2, 2, 6, 0x1C, 2, kGenAtom, 90, "Atom (Family 6 Model 1C Stepping 2)"},
    {"GenuineIntel", 0x30661, 4, 6, 0x36, 1, kGenAtom, 100, "Atom (Family 6 Model 36 Stepping 1)"},
    {"GenuineIntel", 0x106A5, 8, 6, 0x1A, 5, kGenNehalem, 0, "Nehalem (Family 6 Model 1A Stepping 5)"},
    {"GenuineIntel", 0x206A7, 8, 6, 0x2A, 7, kGenSandyBridge, 0, "SandyBridge (Family 6 Model 2A Stepping 7)"},
    {"GenuineIntel", 0x306A9, 8, 6, 0x3A, 9, kGenIvyBridge, 0, "IvyBridge (Family 6 Model 3A Stepping 9)"},
    {"GenuineIntel", 0x40671, 8, 6, 0x47, 1, kGenBroadwell, 0, "Broadwell (Family 6 Model 47 Stepping 1)"},
    {"GenuineIntel", 0x30678, 4, 6, 0x37, 8, kGenSilvermount, 0, "Silvermount (Family 6 Model 37 Stepping 8)"},
    {"GenuineIntel", 0x506E3, 8, 6, 0x5E, 3, kGenSkylake, 0, "Skylake (Family 6 Model 5E Stepping 3)"},
    {"GenuineIntel", 0x406C4, 4, 6, 0x4C, 4, kGenAirmont, 0, "Airmont (Family 6 Model 4C Stepping 4)"},
    {"GenuineIntel", 0x906E9, 8, 6, 0x9E, 9, kGenKabylake, 0, "Kabylake (Family 6 Model 9E Stepping 9)"},
    {"GenuineIntel", 0x00F29, 2, 15, 0x02, 9, kGenUnsupported, 0, "Unsupported (CPUID: 000F29)"},
    {"Genuineintel", 0x306C3, 4, 0, 0, 0, kGenUnsupported, 0, "Unsupported (CPUID: 0306C3)"},
    {"genuineintel", 0x306C3, 4, 0, 0, 0, kGenUnsupported, 0, "Unsupported (CPUID: 0306C3)"},
    {"CyrixInstead", 0x00543, 1, 0, 0, 0, kGenUnsupported, 0, "Unsupported (CPUID: 000543)"},
    {"AuthenticAMD", 0x100F42, 4, 16, 0x04, 0, kGenAmd, 0, "AMD (Family 16 Model  4)"},
    {"AuthenticAMD", 0x600FF0, 8, 21, 0x6F, 0, kGenAmd, 0, "AMD (Family 21 Model 6F)"},
    {"AuthenticAMD", 0x600F12, 8, 21, 0x01, 0, kGenAmd, 0, "AMD (Family 21 Model  1)"},
    {"AuthenticAMD", 0x020FB1, 2, 15, 0x0B, 0, kGenAmd, 0, "AMD (Family 15 Model  B)"},
    {"AuthenticAMD", 0x000FF0, 2, 15, 0x0F, 0, kGenAmd, 0, "AMD (Family 15 Model  F)"},
    {"AuthenticAMD", 0x500F10, 2, 20, 0x01, 0, kGenAmd, 0, "AMD (Family 20 Model  1)"},
    {"AuthenticAMD", 0x400F00, 2, 19, 0x00, 0, kGenUnsupported, 0, "Unsupported (CPUID: 400F00)"},
    {"AuthenticAMD", 0x800F11, 8, 23, 0x01, 0, kGenZen, 0, "Zen (Family 23 Model  1)"},
};

}  // namespace

TEST(CpuIdent, DecodesSignaturesByVendor) {
  for (const tDecodeCase& c : kDecodeCases) {
    SCOPED_TRACE(testing::Message() << c.Vendor << " 0x" << std::hex << c.Signature << std::dec
                                    << " x" << c.Processors);
    const tCpuIdentity cpu = DecodeCpu(c.Vendor, c.Signature, c.Processors);
    EXPECT_EQ(cpu.Family, c.Family);
    EXPECT_EQ(cpu.Model, c.Model);
    EXPECT_EQ(cpu.Stepping, c.Stepping);
    EXPECT_EQ(cpu.Generation, c.Generation);
    EXPECT_EQ(cpu.DefaultTjMax, c.TjMax);
    EXPECT_EQ(FormatModelName(cpu), c.Name);
  }
}

TEST(CpuIdent, NamesEveryGenerationAndFallsBackToUnsupported) {
  const char* names[] = {"Unsupported", "Core",        "Nehalem", "SandyBridge", "IvyBridge",
                         "Haswell",     "Broadwell",   "Atom",    "Silvermount", "Skylake",
                         "Airmont",     "Kabylake",    "AMD",     "Intel",       "Zen"};
  for (int g = 0; g <= 14; ++g) EXPECT_STREQ(GetGenerationName(static_cast<uint8_t>(g)), names[g]);
  EXPECT_STREQ(GetGenerationName(15), "Unsupported");
  EXPECT_STREQ(GetGenerationName(255), "Unsupported");
}

TEST(CpuIdent, CpuIdTextFormatsByGeneration) {
  tCpuIdentity cpu = DecodeCpu("GenuineIntel", 0x306C3, 4);
  EXPECT_EQ(FormatCpuIdText(cpu), "Family 6 Model 3C Stepping 3");
  cpu = DecodeCpu("AuthenticAMD", 0x100F42, 4);
  EXPECT_EQ(FormatCpuIdText(cpu), "Family 16 Model  4");
  cpu = DecodeCpu("AuthenticAMD", 0x123, 4);  // family 1: unknown
  EXPECT_EQ(FormatCpuIdText(cpu), "CPUID: 000123");
}

// The vendor text is EBX, EDX, ECX of leaf 0, and the signature EAX of leaf 1.
TEST(CpuIdent, IdentifiesThroughTheDriver) {
  gFakeCpu = tFakeCpu{};
  gFakeCpu.Signature = 0x306C3;
  const tCpuIdentity cpu = IdentifyCpu(FakeDriverApi(), 4);
  EXPECT_STREQ(cpu.Vendor, "GenuineIntel");
  EXPECT_EQ(cpu.Signature, 0x306C3u);
  EXPECT_EQ(cpu.Generation, kGenHaswell);
  EXPECT_EQ(gFakeCpu.FindPci, 0);  // no PCI lookup for Intel
}

TEST(CpuIdent, LooksUpTheAmdThermalDeviceWithItsFallback) {
  struct Case {
    uint32_t Signature;
    uint16_t PresentDevice;  // 0: none
    uint32_t Expected;
    int Lookups;
  } cases[] = {
      {0x020FB1, 0x1103, 0xC3, 1},         // K8
      {0x100F42, 0x1203, 0xC3, 1},         // 10h, first id
      {0x100F42, 0x1303, 0xC3, 2},         // 10h, fallback id
      {0x100F42, 0, kPciNotFound, 2},      // 10h, neither
      {0x200F31, 0x1203, kPciNotFound, 1}, // 11h has no fallback
      {0x600F12, 0x1403, 0xC3, 2},         // 15h, fallback id
      {0x700F01, 0x1533, 0xC3, 1},         // 16h
      {0x400F00, 0x1203, kPciNotFound, 0}, // 13h: unsupported, no lookup
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.Signature << " " << c.PresentDevice);
    gFakeCpu = tFakeCpu{};
    std::memcpy(gFakeCpu.Vendor, "AuthenticAMD", 13);
    gFakeCpu.Signature = c.Signature;
    if (c.PresentDevice) gFakeCpu.AddDevice(c.PresentDevice, 0xC3);
    const tCpuIdentity cpu = IdentifyCpu(FakeDriverApi(), 2);
    EXPECT_EQ(cpu.ThermalDevice, c.Expected);
    EXPECT_EQ(gFakeCpu.FindPci, c.Lookups);
  }
}

namespace {

constexpr uint32_t kDts = kCpuidDigitalThermalSensor;

struct tModelRowCase {
  const char* Vendor;
  uint32_t Signature;
  uint32_t Leaf6;  // CPUID leaf 6 EAX
  int Generation;
  const char* Name;
  int ReadoutMask;  // Intel
  bool PerProcessorTarget;
  int CcdOffset, CcdCount;  // Zen
};

// The processors after the first model table: every row's range edges, the
// unnamed Intel fallback with and without the thermal sensor, family 18
// and the Zen families with their CCD registers.
const tModelRowCase kModelRowCases[] = {
    {"GenuineIntel", 0xA0655, 0, kGenIntel, "Comet Lake (Family 6 Model A5 Stepping 5)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0xA0660, 0, kGenIntel, "Comet Lake (Family 6 Model A6 Stepping 0)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x60663, 0, kGenIntel, "Cannon Lake (Family 6 Model 66 Stepping 3)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x706D0, 0, kGenIntel, "Ice Lake (Family 6 Model 7D Stepping 0)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x706E5, 0, kGenIntel, "Ice Lake (Family 6 Model 7E Stepping 5)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x606A6, 0, kGenIntel, "Ice Lake (Family 6 Model 6A Stepping 6)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x606C1, 0, kGenIntel, "Ice Lake (Family 6 Model 6C Stepping 1)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0xA0671, 0, kGenIntel, "Rocket Lake (Family 6 Model A7 Stepping 1)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x806C1, 0, kGenIntel, "Tiger Lake (Family 6 Model 8C Stepping 1)", 0xFF, false, 0, 0},
    {"GenuineIntel", 0x806D1, 0, kGenIntel, "Tiger Lake (Family 6 Model 8D Stepping 1)", 0xFF, false, 0, 0},
    {"GenuineIntel", 0x806A1, 0, kGenIntel, "Lakefield (Family 6 Model 8A Stepping 1)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0x90672, 0, kGenIntel, "Alder Lake (Family 6 Model 97 Stepping 2)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0x906A3, 0, kGenIntel, "Alder Lake (Family 6 Model 9A Stepping 3)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xB06E0, 0, kGenIntel, "Alder Lake-N (Family 6 Model BE Stepping 0)", 0xFF, false, 0, 0},
    {"GenuineIntel", 0xB0671, 0, kGenIntel, "Raptor Lake (Family 6 Model B7 Stepping 1)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xB06A2, 0, kGenIntel, "Raptor Lake (Family 6 Model BA Stepping 2)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xB06F2, 0, kGenIntel, "Raptor Lake (Family 6 Model BF Stepping 2)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xA06A4, 0, kGenIntel, "Meteor Lake (Family 6 Model AA Stepping 4)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xA06C0, 0, kGenIntel, "Meteor Lake (Family 6 Model AC Stepping 0)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xC0652, 0, kGenIntel, "Arrow Lake (Family 6 Model C5 Stepping 2)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xC0660, 0, kGenIntel, "Arrow Lake (Family 6 Model C6 Stepping 0)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xB0650, 0, kGenIntel, "Arrow Lake (Family 6 Model B5 Stepping 0)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xB06D1, 0, kGenIntel, "Lunar Lake (Family 6 Model BD Stepping 1)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xC06C0, 0, kGenIntel, "Panther Lake (Family 6 Model CC Stepping 0)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0x300F10, 0, kGenIntel, "Nova Lake (Family 18 Model  1 Stepping 0)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0x300F31, 0, kGenIntel, "Nova Lake (Family 18 Model  3 Stepping 1)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0x506C9, 0, kGenIntel, "Goldmont (Family 6 Model 5C Stepping 9)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x506F1, 0, kGenIntel, "Goldmont (Family 6 Model 5F Stepping 1)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x706A1, 0, kGenIntel, "Goldmont Plus (Family 6 Model 7A Stepping 1)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x80660, 0, kGenIntel, "Tremont (Family 6 Model 86 Stepping 0)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x90661, 0, kGenIntel, "Tremont (Family 6 Model 96 Stepping 1)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x906C0, 0, kGenIntel, "Tremont (Family 6 Model 9C Stepping 0)", 0x7F, false, 0, 0},
    // Listed models keep their row even when the sensor bit is set.
    {"GenuineIntel", 0x306C3, kDts, kGenHaswell, "Haswell (Family 6 Model 3C Stepping 3)", 0x7F, false, 0, 0},
    // Not named: from model 0xA0 on (and family 18) with the sensor, by the newest rules.
    {"GenuineIntel", 0xD0601, kDts, kGenIntel, "Intel (Family 6 Model D0 Stepping 1)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xA0601, kDts, kGenIntel, "Intel (Family 6 Model A0 Stepping 1)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xA06B0, 0xF7, kGenIntel, "Intel (Family 6 Model AB Stepping 0)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0x300F20, kDts, kGenIntel, "Intel (Family 18 Model  2 Stepping 0)", 0xFF, true, 0, 0},
    {"GenuineIntel", 0xD0601, 0, kGenUnsupported, "Unsupported (CPUID: 0D0601)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0xA06B0, 0xF6, kGenUnsupported, "Unsupported (CPUID: 0A06B0)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x300F20, 0, kGenUnsupported, "Unsupported (CPUID: 300F20)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x906F1, kDts, kGenUnsupported, "Unsupported (CPUID: 0906F1)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x50654, kDts, kGenUnsupported, "Unsupported (CPUID: 050654)", 0x7F, false, 0, 0},
    {"GenuineIntel", 0x400F01, kDts, kGenUnsupported, "Unsupported (CPUID: 400F01)", 0x7F, false, 0, 0},
    // Zen: the extended model bits make the model.
    {"AuthenticAMD", 0x800F11, 0, kGenZen, "Zen (Family 23 Model  1)", 0x7F, false, 0x154, 4},
    {"AuthenticAMD", 0x800F82, 0, kGenZen, "Zen+ (Family 23 Model  8)", 0x7F, false, 0x154, 4},
    {"AuthenticAMD", 0x810F10, 0, kGenZen, "Zen (Family 23 Model 11)", 0x7F, false, 0x154, 4},
    {"AuthenticAMD", 0x810F81, 0, kGenZen, "Zen+ (Family 23 Model 18)", 0x7F, false, 0x154, 4},
    {"AuthenticAMD", 0x820F01, 0, kGenZen, "Zen (Family 23 Model 20)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0x820FF0, 0, kGenZen, "Zen (Family 23 Model 2F)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0x850F00, 0, kGenZen, "Zen (Family 23 Model 50)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0x830F00, 0, kGenZen, "Zen 2 (Family 23 Model 30)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0x830F10, 0, kGenZen, "Zen 2 (Family 23 Model 31)", 0x7F, false, 0x154, 8},
    {"AuthenticAMD", 0x840FF0, 0, kGenZen, "Zen 2 (Family 23 Model 4F)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0x860F01, 0, kGenZen, "Zen 2 (Family 23 Model 60)", 0x7F, false, 0x154, 8},
    {"AuthenticAMD", 0x860F81, 0, kGenZen, "Zen 2 (Family 23 Model 68)", 0x7F, false, 0x154, 8},
    {"AuthenticAMD", 0x870F10, 0, kGenZen, "Zen 2 (Family 23 Model 71)", 0x7F, false, 0x154, 8},
    {"AuthenticAMD", 0x870FF0, 0, kGenZen, "Zen 2 (Family 23 Model 7F)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0x890F02, 0, kGenZen, "Zen 2 (Family 23 Model 90)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0x890F10, 0, kGenZen, "Zen 2 (Family 23 Model 91)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0x8A0F00, 0, kGenZen, "Zen 2 (Family 23 Model A0)", 0x7F, false, 0x300, 8},
    {"AuthenticAMD", 0x8A0FF0, 0, kGenZen, "Zen 2 (Family 23 Model AF)", 0x7F, false, 0x300, 8},
    {"AuthenticAMD", 0x890F20, 0, kGenUnsupported, "Unsupported (CPUID: 890F20)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0x880F00, 0, kGenUnsupported, "Unsupported (CPUID: 880F00)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0xA00F11, 0, kGenZen, "Zen 3 (Family 25 Model  1)", 0x7F, false, 0x154, 8},
    {"AuthenticAMD", 0xA00F20, 0, kGenZen, "Zen 3 (Family 25 Model  2)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0xA00F80, 0, kGenZen, "Zen 3 (Family 25 Model  8)", 0x7F, false, 0x154, 8},
    {"AuthenticAMD", 0xA00FF0, 0, kGenZen, "Zen 3 (Family 25 Model  F)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0xA20F10, 0, kGenZen, "Zen 3 (Family 25 Model 21)", 0x7F, false, 0x154, 8},
    {"AuthenticAMD", 0xA20F00, 0, kGenZen, "Zen 3 (Family 25 Model 20)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0xA40F41, 0, kGenZen, "Zen 3 (Family 25 Model 44)", 0x7F, false, 0x300, 8},
    {"AuthenticAMD", 0xA50F00, 0, kGenZen, "Zen 3 (Family 25 Model 50)", 0x7F, false, 0x154, 8},
    {"AuthenticAMD", 0xA50FF0, 0, kGenZen, "Zen 3 (Family 25 Model 5F)", 0x7F, false, 0x154, 8},
    {"AuthenticAMD", 0xA10F11, 0, kGenZen, "Zen 4 (Family 25 Model 11)", 0x7F, false, 0x300, 12},
    {"AuthenticAMD", 0xA60F12, 0, kGenZen, "Zen 4 (Family 25 Model 61)", 0x7F, false, 0x308, 8},
    {"AuthenticAMD", 0xA70FF0, 0, kGenZen, "Zen 4 (Family 25 Model 7F)", 0x7F, false, 0x308, 8},
    {"AuthenticAMD", 0xA80F00, 0, kGenZen, "Zen 4 (Family 25 Model 80)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0xAA0F01, 0, kGenZen, "Zen 4 (Family 25 Model A0)", 0x7F, false, 0x300, 12},
    {"AuthenticAMD", 0xAB0F00, 0, kGenUnsupported, "Unsupported (CPUID: AB0F00)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0xB00F21, 0, kGenZen, "Zen 5 (Family 26 Model  2)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0xB20FF0, 0, kGenZen, "Zen 5 (Family 26 Model 2F)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0xB30F00, 0, kGenUnsupported, "Unsupported (CPUID: B30F00)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0xB40F40, 0, kGenZen, "Zen 5 (Family 26 Model 44)", 0x7F, false, 0x308, 8},
    {"AuthenticAMD", 0xB70F00, 0, kGenZen, "Zen 5 (Family 26 Model 70)", 0x7F, false, 0, 0},
    {"AuthenticAMD", 0xC00F00, 0, kGenUnsupported, "Unsupported (CPUID: C00F00)", 0x7F, false, 0, 0},
};

}  // namespace

TEST(CpuIdent, NamesTheProcessorsAfterTheModelTableByTheirRow) {
  for (const tModelRowCase& c : kModelRowCases) {
    SCOPED_TRACE(testing::Message() << c.Vendor << " 0x" << std::hex << c.Signature << " leaf 6 "
                                    << c.Leaf6);
    const tCpuIdentity cpu = DecodeCpu(c.Vendor, c.Signature, 8, c.Leaf6);
    EXPECT_EQ(cpu.Generation, c.Generation);
    EXPECT_EQ(FormatModelName(cpu), c.Name);
    EXPECT_EQ(cpu.ReadoutMask, c.ReadoutMask);
    EXPECT_EQ(cpu.PerProcessorTarget, c.PerProcessorTarget);
    EXPECT_EQ(cpu.CcdOffset, c.CcdOffset);
    EXPECT_EQ(cpu.CcdCount, c.CcdCount);
    EXPECT_EQ(cpu.DefaultTjMax, 0.0);
    EXPECT_EQ(cpu.ThermalDevice, kPciNotFound);
  }
}

// The sensor bit comes from CPUID leaf 6, read only when leaf 0 reports it.
TEST(CpuIdent, ReadsTheThermalLeafForTheUnnamedIntelFallback) {
  struct Case {
    uint32_t MaxLeaf, Leaf6;
    int Generation;
  } cases[] = {{6, 1, kGenIntel}, {6, 0, kGenUnsupported}, {5, 1, kGenUnsupported}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.MaxLeaf);
    gFakeCpu = tFakeCpu{};
    gFakeCpu.Signature = 0xD0601;
    gFakeCpu.MaxLeaf = c.MaxLeaf;
    gFakeCpu.SetLeaf(6, -1, c.Leaf6, 0, 0, 0);
    const tCpuIdentity cpu = IdentifyCpu(FakeDriverApi(), 4);
    EXPECT_EQ(cpu.Generation, c.Generation);
  }
}

TEST(CpuIdent, ZenOffsetsComeFromTheBrandString) {
  struct Case {
    const char* Brand;
    double Offset;
  } cases[] = {
      {"AMD Ryzen 5 1600X Six-Core Processor", 20},
      {"AMD Ryzen 7 1700X Eight-Core Processor", 20},
      {"AMD Ryzen 7 1800X Eight-Core Processor", 20},
      {"AMD Ryzen 7 2700X Eight-Core Processor", 10},
      {"AMD Ryzen Threadripper 1950X 16-Core Processor", 27},
      {"AMD Ryzen Threadripper 2990WX 32-Core Processor", 27},
      {"AMD Ryzen 7 1700 Eight-Core Processor", 0},  // not the X part
      {"AMD Ryzen 7 2700 Eight-Core Processor", 0},
      {"AMD Ryzen Threadripper 3970X 32-Core Processor", 0},
      {"AMD Ryzen 9 5950X 16-Core Processor", 0},
      {"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(GetZenTemperatureOffset(c.Brand), c.Offset) << c.Brand;
}
