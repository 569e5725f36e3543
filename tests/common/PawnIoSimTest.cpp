// The PawnIO stand-in's profile parser and module rules, natively; its
// device side is tested through the driver under Wine.
#include "sim/pawnio/PawnIoSim.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

std::unique_ptr<tPSimProfile> Parse(const std::string& text, std::string* error = nullptr) {
  auto profile = std::make_unique<tPSimProfile>();
  PSimResetProfile(profile.get());
  char message[96];
  const int ok = PSimParseProfile(text.data(), text.size(), profile.get(), message, sizeof message);
  if (error) *error = ok ? "" : message;
  return ok ? std::move(profile) : nullptr;
}

uint64_t Msr(tPSimProfile& p, tPSimModule module, uint64_t msr, int processor,
             uint32_t* status = nullptr, double seconds = 0.0) {
  uint64_t value = 0;
  size_t count = 0;
  const uint32_t s = PSimExecute(&p, module, "ioctl_read_msr", &msr, 1, &value, 1, &count,
                                 seconds, processor);
  if (status) *status = s;
  return value;
}

}  // namespace

TEST(PawnIoSim, ProcessorValueWinsOverTheAllProcessorsValueWhateverTheOrder) {
  auto p = Parse("msr.0x19C.1 = 0x883A0000\r\n# comment\nmsr.0x19C=0x883C0000 # trailing\n");
  ASSERT_TRUE(p);
  EXPECT_EQ(Msr(*p, PSIM_MODULE_INTEL_MSR, 0x19C, 0), 0x883C0000u);
  EXPECT_EQ(Msr(*p, PSIM_MODULE_INTEL_MSR, 0x19C, 1), 0x883A0000u);
  EXPECT_EQ(Msr(*p, PSIM_MODULE_INTEL_MSR, 0x19C, 2), 0x883C0000u);
}

TEST(PawnIoSim, BadLinesNameTheirNumber) {
  std::string error;
  EXPECT_FALSE(Parse("vendor=GenuineIntel\n\nmsr.0x19C=zz\n", &error));
  EXPECT_EQ(error, "line 3: bad line");
  EXPECT_FALSE(Parse("vendor=Intel\n", &error));
  EXPECT_EQ(error, "line 1: vendor needs 12 characters");
  EXPECT_FALSE(Parse("no equals sign\n", &error));
  EXPECT_EQ(error, "line 1: bad line");
  EXPECT_TRUE(Parse("cpuid.1.eax=0x306C3\nbrand=Core i7\nfail_cpuid=1\n"));
}

TEST(PawnIoSim, CountersFollowTimeAtTheirRatiosWithTheBaseFromPlatformInfo) {
  auto p = Parse("tsc_mhz=2666.5\neffective_ratio=30\nmsr.0xCE=0x1400\n");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->BaseRatio, 20.0);
  EXPECT_EQ(Msr(*p, PSIM_MODULE_INTEL_MSR, 0xE7, 0, nullptr, 2.0), 5333000000u);
  EXPECT_EQ(Msr(*p, PSIM_MODULE_INTEL_MSR, 0xE8, 0, nullptr, 2.0), 7999500000u);
}

TEST(PawnIoSim, ModuleFilesAndTheProcessorsTheyLoadOn) {
  const std::string file = std::string(PSIM_MODULE_MAGIC) + "\r\nmodule=AMDFamily10\r\n";
  const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
  EXPECT_EQ(PSimModuleOfFile(bytes, file.size()), PSIM_MODULE_AMD_FAMILY10);
  EXPECT_EQ(PSimModuleOfFile(bytes, file.size() - 6), PSIM_MODULE_NONE);  // "AMDFam"
  EXPECT_EQ(PSimModuleOfFile(bytes, 10), PSIM_MODULE_NONE);

  struct tCase {
    const char* Profile;
    tPSimModule Module;
    uint32_t Status;
  };
  const tCase cases[] = {
      {"vendor=AuthenticAMD\nsignature=0x00100F42\n", PSIM_MODULE_AMD_FAMILY10, 0},
      {"vendor=AuthenticAMD\nsignature=0x00700F01\n", PSIM_MODULE_AMD_FAMILY10, 0},  // 16h
      {"vendor=AuthenticAMD\nsignature=0x00800F11\n", PSIM_MODULE_AMD_FAMILY10,
       PSIM_STATUS_NOT_SUPPORTED},
      {"vendor=AuthenticAMD\nsignature=0x00B40F40\n", PSIM_MODULE_AMD_FAMILY17, 0},  // 1Ah
      {"vendor=AuthenticAMD\nsignature=0x00020FB1\n", PSIM_MODULE_AMD_FAMILY0F, 0},
      {"vendor=GenuineIntel\nsignature=0x00B40F40\n", PSIM_MODULE_INTEL_MSR, 0},
      {"vendor=GenuineIntel\n", PSIM_MODULE_REFUSED, PSIM_STATUS_NOT_SUPPORTED},
  };
  for (const tCase& c : cases) {
    SCOPED_TRACE(c.Profile);
    auto p = Parse(c.Profile);
    ASSERT_TRUE(p);
    EXPECT_EQ(PSimCheckLoad(p.get(), c.Module), c.Status);
  }
}

TEST(PawnIoSim, AllowedWritesStickOnTheirProcessorAndOthersAreRefused) {
  auto p = Parse("msr.0x1A4=5\n");
  ASSERT_TRUE(p);
  const uint64_t allowed[] = {0x1A4, 9}, refused[] = {0x1A0, 9};
  size_t count = 0;
  EXPECT_EQ(PSimExecute(p.get(), PSIM_MODULE_INTEL_MSR, "ioctl_write_msr", allowed, 2, nullptr, 0,
                        &count, 0.0, 1),
            PSIM_STATUS_SUCCESS);
  EXPECT_EQ(Msr(*p, PSIM_MODULE_INTEL_MSR, 0x1A4, 1), 9u);
  EXPECT_EQ(Msr(*p, PSIM_MODULE_INTEL_MSR, 0x1A4, 0), 5u);
  EXPECT_EQ(PSimExecute(p.get(), PSIM_MODULE_INTEL_MSR, "ioctl_write_msr", refused, 2, nullptr, 0,
                        &count, 0.0, 0),
            PSIM_STATUS_ACCESS_DENIED);
  uint32_t status = 0;
  auto blocked = Parse("no_msrs=1\nmsr.0x19C=1\n");
  Msr(*blocked, PSIM_MODULE_INTEL_MSR, 0x19C, 0, &status);
  EXPECT_EQ(status, PSIM_STATUS_ACCESS_DENIED);
  auto denied = Parse("pawnio.deny_msr=0x19C\nmsr.0x19C=1\n");
  Msr(*denied, PSIM_MODULE_INTEL_MSR, 0x19C, 0, &status);
  EXPECT_EQ(status, PSIM_STATUS_ACCESS_DENIED);
  Msr(*denied, PSIM_MODULE_INTEL_MSR, 0x198, 0, &status);
  EXPECT_EQ(status, PSIM_STATUS_SUCCESS);
}
