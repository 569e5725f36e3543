#include "common/PawnIoProtocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(PawnIoProtocol, ControlCodesAreBufferedAnyAccessOnDeviceType41394) {
  EXPECT_EQ(kPawnIoLoadCode, 0xA1B22084u);
  EXPECT_EQ(kPawnIoExecuteCode, 0xA1B22104u);
  EXPECT_EQ(kPawnIoVersionCode, 0xA1B22184u);
  EXPECT_STREQ(kPawnIoDevicePath, "\\\\?\\GLOBALROOT\\Device\\PawnIO");
}

TEST(PawnIoProtocol, PacksNamePaddedTo32BytesThenLittleEndianArguments) {
  const uint64_t args[] = {0x19C, 0x0102030405060708ull};
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(PackPawnIoRequest("ioctl_read_msr", args, 2, bytes));
  std::vector<uint8_t> expected(32, 0);
  const std::string name = "ioctl_read_msr";
  std::copy(name.begin(), name.end(), expected.begin());
  for (uint8_t b : {0x9C, 0x01, 0, 0, 0, 0, 0, 0, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01})
    expected.push_back(b);
  EXPECT_EQ(bytes, expected);
}

TEST(PawnIoProtocol, NameOf31CharactersFitsButNot32NorEmpty) {
  std::vector<uint8_t> bytes = {0xAA};
  const std::string longest(31, 'f');
  ASSERT_TRUE(PackPawnIoRequest(longest, nullptr, 0, bytes));
  ASSERT_EQ(bytes.size(), 32u);
  EXPECT_EQ(bytes[30], 'f');
  EXPECT_EQ(bytes[31], 0);

  std::vector<uint8_t> untouched = {0xAA};
  EXPECT_FALSE(PackPawnIoRequest(std::string(32, 'f'), nullptr, 0, untouched));
  EXPECT_FALSE(PackPawnIoRequest("", nullptr, 0, untouched));
  EXPECT_FALSE(PackPawnIoRequest(std::string("ab\0c", 4), nullptr, 0, untouched));
  EXPECT_EQ(untouched, std::vector<uint8_t>{0xAA});
}

TEST(PawnIoProtocol, UnpacksOnlyWholeResults) {
  const uint8_t bytes[] = {0x00, 0x00, 0x37, 0x88, 0, 0, 0, 0, 0x01, 0x02, 0x03, 0x04,
                           0x05, 0x06, 0x07, 0x08, 0xFF, 0xFF};
  uint64_t results[3] = {7, 7, 7};
  EXPECT_EQ(UnpackPawnIoResults(bytes, sizeof bytes, results, 3), 2u);
  EXPECT_EQ(results[0], 0x88370000u);
  EXPECT_EQ(results[1], 0x0807060504030201ull);
  EXPECT_EQ(results[2], 7u);
  EXPECT_EQ(UnpackPawnIoResults(bytes, sizeof bytes, results, 1), 1u);
}

TEST(PawnIoProtocol, VersionText) {
  EXPECT_EQ(FormatPawnIoVersion(0x00020200), "2.2.0");
  EXPECT_EQ(FormatPawnIoVersion(0x000A0B0C), "10.11.12");
  EXPECT_EQ(FormatPawnIoVersion(0), "0.0.0");
}

TEST(PawnIoProtocol, ModuleByVendorAndFamily) {
  struct tCase {
    const char* Vendor;
    uint32_t Family;
    const char* File;
  };
  const tCase cases[] = {
      {"GenuineIntel", 6, "IntelMSR.bin"},     {"GenuineIntel", 0x12, "IntelMSR.bin"},
      {"AuthenticAMD", 0x17, "AMDFamily17.bin"}, {"AuthenticAMD", 0x19, "AMDFamily17.bin"},
      {"AuthenticAMD", 0x1A, "AMDFamily17.bin"}, {"AuthenticAMD", 0x1B, ""},
      {"AuthenticAMD", 0x16, "AMDFamily10.bin"}, {"AuthenticAMD", 0x10, "AMDFamily10.bin"},
      {"AuthenticAMD", 0x0F, "AMDFamily0F.bin"}, {"AuthenticAMD", 0x06, ""},
      {"CentaurHauls", 6, ""},                 {"genuineintel", 6, ""},
  };
  for (const tCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Vendor << " family 0x" << std::hex << c.Family);
    EXPECT_EQ(PawnIoModuleFileName(SelectPawnIoModule(c.Vendor, c.Family)), c.File);
  }
  EXPECT_STREQ(PawnIoModuleName(tPawnIoModule::AmdFamily17), "AMDFamily17");
}

TEST(PawnIoProtocol, ModuleFileRule) {
  EXPECT_EQ(CheckPawnIoModuleFile(false, 0), tModuleFile::Missing);
  EXPECT_EQ(CheckPawnIoModuleFile(true, 0), tModuleFile::Empty);
  EXPECT_EQ(CheckPawnIoModuleFile(true, 1), tModuleFile::Usable);
  EXPECT_EQ(CheckPawnIoModuleFile(true, 1u << 20), tModuleFile::Usable);
  EXPECT_EQ(CheckPawnIoModuleFile(true, (1u << 20) + 1), tModuleFile::TooLarge);
}

TEST(PawnIoProtocol, OpenErrors) {
  EXPECT_EQ(ClassifyPawnIoOpenError(2), tPawnIoOpen::NotInstalled);
  EXPECT_EQ(ClassifyPawnIoOpenError(3), tPawnIoOpen::NotInstalled);
  EXPECT_EQ(ClassifyPawnIoOpenError(5), tPawnIoOpen::AccessDenied);
  EXPECT_EQ(ClassifyPawnIoOpenError(31), tPawnIoOpen::Failed);
}

namespace {

// Answers the steps from a table and records which were asked.
class tFakeProbe : public tBackEndProbe {
 public:
  explicit tFakeProbe(const tBackEndFacts& facts) : Facts(facts) {}
  tWinRing0State ProbeWinRing0() override {
    Asked += "w";
    return Facts.WinRing0;
  }
  tPawnIoOpen OpenPawnIo(uint32_t& error, uint32_t& version) override {
    Asked += "o";
    version = Facts.Version;
    error = Facts.OpenError;
    return Facts.PawnIo;
  }
  tModuleFile ReadModuleFile(tPawnIoModule module) override {
    Asked += std::string("r:") + PawnIoModuleName(module);
    return Facts.File;
  }
  uint32_t LoadModule(tPawnIoModule) override {
    Asked += "l";
    return Facts.LoadStatus;
  }
  tBackEndFacts Facts;
  std::string Asked;
};

struct tChoiceCase {
  tWinRing0State WinRing0;
  tPawnIoOpen Open;
  tPawnIoModule Module;
  tModuleFile File;
  uint32_t LoadStatus;
  tDriverBackEnd BackEnd;
  const char* Asked;  // the steps after WinRing0's: open, read, load
  const char* Line;
};

using W = tWinRing0State;
using O = tPawnIoOpen;
using M = tPawnIoModule;
using F = tModuleFile;
using B = tDriverBackEnd;

const tChoiceCase kChoiceCases[] = {
    {W::Ready, O::Opened, M::IntelMsr, F::Usable, 0, B::WinRing0, "", "Driver: WinRing0.dll"},
    {W::NotFound, O::Opened, M::AmdFamily17, F::Usable, 0, B::PawnIo, "or:AMDFamily17l",
     "Driver: PawnIO 2.2.0, module AMDFamily17"},
    {W::NotReady, O::Opened, M::IntelMsr, F::Usable, 0, B::PawnIo, "or:IntelMSRl",
     "Driver: PawnIO 2.2.0, module IntelMSR"},
    {W::NotFound, O::NotInstalled, M::IntelMsr, F::Usable, 0, B::None, "o",
     "WinRing0.dll not found; PawnIO not installed"},
    {W::NotLoaded, O::NotInstalled, M::IntelMsr, F::Usable, 0, B::None, "o",
     "WinRing0.dll could not be loaded; PawnIO not installed"},
    {W::NotReady, O::NotInstalled, M::IntelMsr, F::Usable, 0, B::None, "o",
     "WinRing0.dll did not start its driver; PawnIO not installed"},
    {W::NotFound, O::AccessDenied, M::IntelMsr, F::Usable, 0, B::None, "o",
     "PawnIO: access denied (run as the service or as administrator)"},
    {W::NotFound, O::Failed, M::IntelMsr, F::Usable, 0, B::None, "o",
     "PawnIO: the device could not be opened (error 31)"},
    {W::NotFound, O::Opened, M::None, F::Usable, 0, B::None, "o",
     "PawnIO: no module for this processor"},
    {W::NotFound, O::Opened, M::IntelMsr, F::Missing, 0, B::None, "or:IntelMSR",
     "PawnIO: module IntelMSR.bin not found beside the program"},
    {W::NotFound, O::Opened, M::AmdFamily10, F::Empty, 0, B::None, "or:AMDFamily10",
     "PawnIO: module AMDFamily10.bin is empty"},
    {W::NotFound, O::Opened, M::AmdFamily0F, F::TooLarge, 0, B::None, "or:AMDFamily0F",
     "PawnIO: module AMDFamily0F.bin is larger than 1 MiB"},
    {W::NotFound, O::Opened, M::IntelMsr, F::Unreadable, 0, B::None, "or:IntelMSR",
     "PawnIO: module IntelMSR.bin could not be read"},
    {W::NotFound, O::Opened, M::IntelMsr, F::Usable, 0xC00000BB, B::None, "or:IntelMSRl",
     "PawnIO: module IntelMSR.bin refused by the driver (status 0xC00000BB)"},
};

}  // namespace

TEST(PawnIoProtocol, ChoosesTheBackEndAskingOnlyWhatDecides) {
  for (const tChoiceCase& c : kChoiceCases) {
    SCOPED_TRACE(c.Line);
    tBackEndFacts facts;
    facts.WinRing0 = c.WinRing0;
    facts.PawnIo = c.Open;
    facts.OpenError = 31;
    facts.Version = 0x00020200;
    facts.File = c.File;
    facts.LoadStatus = c.LoadStatus;
    tFakeProbe probe(facts);
    const tBackEndChoice choice = ChooseDriverBackEnd(probe, c.Module);
    EXPECT_EQ(choice.BackEnd, c.BackEnd);
    EXPECT_EQ(choice.LogLine, c.Line);
    EXPECT_EQ(probe.Asked, std::string("w") + c.Asked);
  }
}
