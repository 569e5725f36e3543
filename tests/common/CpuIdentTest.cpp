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
    {"GenuineIntel", 0x806C1, 4, 6, 0x8C, 1, kGenUnsupported, 0, "Unsupported (CPUID: 0806C1)"},
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
    {"AuthenticAMD", 0x800F11, 8, 23, 0x01, 0, kGenUnsupported, 0, "Unsupported (CPUID: 800F11)"},
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
                         "Airmont",     "Kabylake",    "AMD"};
  for (int g = 0; g <= 12; ++g) EXPECT_STREQ(GetGenerationName(static_cast<uint8_t>(g)), names[g]);
  EXPECT_STREQ(GetGenerationName(13), "Unsupported");
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
