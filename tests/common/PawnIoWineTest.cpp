// The PawnIO client under Wine against the real stand-in driver: the test
// installs PawnIOSim.sys from beside itself as the kernel driver "PawnIO" in
// its prefix with the 64-bit "sc" and starts it (the test process keeps
// Wine's driver host alive).
// The driver reads "PawnIO.profile" beside its file at each open and logs to
// "PawnIO.log" there.
#include "common/PawnIo_win.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kNtNotSupported = 0xC00000BBu;
constexpr uint32_t kNtInvalidImageFormat = 0xC000007Bu;

const char kIntelProfile[] = R"(vendor=GenuineIntel
signature=0x306C3
processors=4
tsc_mhz=3400
effective_ratio=38
msr.0xCE=0x00002200
msr.0x1A0=0x00850089
msr.0x198=0x00002200
msr.0x19C=0x883C0000
msr.0x19C.1=0x883A0000
)";
const char kZenProfile[] = R"(vendor=AuthenticAMD
signature=0x00A20F12
processors=4
tsc_mhz=3800
base_ratio=38
effective_ratio=45
smn.0x59800=0x4A400000
smn.0x59954=0x00000A40
)";
const char kFamily10Profile[] = R"(vendor=AuthenticAMD
signature=0x00100F42
processors=4
tsc_mhz=3000
pci_device.0x1022.0x1203=0xC3
pci.0xC3.0xA4=0x34A00000
pci.0xC3.0xD4=0x00000C07
pci.0xC3.0x90=0x12345678
)";
const char kK8Profile[] = R"(vendor=AuthenticAMD
signature=0x00020FB1
processors=2
tsc_mhz=2200
pci_device.0x1022.0x1103=0xC3
pci.0xC3.0xE4=0x00000000
k8_sensor.0=100
k8_sensor.1=98
)";

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string DriverFolder() {
  char path[MAX_PATH];
  GetTempPathA(MAX_PATH, path);
  return std::string(path) + "pawnio\\";
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<uint8_t> ModuleBytes(const std::string& name) {
  std::vector<uint8_t> bytes;
  const tModuleFile state =
      ReadPawnIoModuleFile(ProgramFolder() + "pawnio-modules\\" + name, bytes);
  EXPECT_EQ(state, tModuleFile::Usable) << name;
  return bytes;
}

void WriteProfile(const std::string& text) {
  std::ofstream(DriverFolder() + "PawnIO.profile", std::ios::binary) << text;
}

std::string Log() { return ReadText(DriverFolder() + "PawnIO.log"); }

// Runs a command line and waits for it; its exit code, or -1.
int Run(const std::string& commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  tUniqueHandle owner(process.hProcess), thread(process.hThread);
  WaitForSingleObject(process.hProcess, 30000);
  DWORD code = 0;
  return GetExitCodeProcess(process.hProcess, &code) ? int(code) : -1;
}

// The 64-bit "sc": Wine runs a driver registered by a 32-bit process in its
// 32-bit driver host, which cannot load the 64-bit driver.
std::string NativeSc() {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  return wow64 ? "C:\\windows\\sysnative\\sc.exe" : "sc.exe";
}

// Copies the driver into the prefix and starts it as the kernel service "PawnIO".
bool InstallDriver(std::string& why) {
  CreateDirectoryA(DriverFolder().c_str(), nullptr);
  const std::string sys = DriverFolder() + "PawnIOSim.sys";
  if (!CopyFileA((ProgramFolder() + "PawnIOSim.sys").c_str(), sys.c_str(), FALSE))
    return why = "copy failed", false;
  const std::string sc = NativeSc();
  if (Run(sc + " create PawnIO type= kernel binPath= \"" + sys + "\"") != 0)
    return why = "sc create failed", false;
  // On a busy machine the driver host may start late: ask again until the
  // device is there (sc's answer alone is not trusted, only the device).
  for (int attempt = 0; attempt < 6; ++attempt) {
    const int code = Run(sc + " start PawnIO");
    for (int i = 0; i < 50; ++i) {
      tUniqueFileHandle device(CreateFileA(kPawnIoDevicePath, GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
      if (device || GetLastError() != ERROR_FILE_NOT_FOUND) return true;
      Sleep(100);
    }
    why = "sc start exit code " + std::to_string(code);
  }
  return false;
}

class PawnIoDriver : public testing::Test {
 protected:
  static void SetUpTestSuite() { Installed = InstallDriver(Why); }

  void SetUp() override { ASSERT_TRUE(Installed) << Why; }

  // Opens a handle on the given profile; with a module file, loads it.
  tPawnIoDevice Open(const std::string& profile, const char* module = nullptr) {
    WriteProfile(profile);
    tPawnIoDevice device;
    uint32_t error = 0, version = 0;
    EXPECT_EQ(device.Open(error, version), tPawnIoOpen::Opened) << "error " << error;
    if (module) {
      EXPECT_EQ(device.LoadModule(ModuleBytes(module)), kNtSuccess) << module;
    }
    return device;
  }

  static bool Installed;
  static std::string Why;
};
bool PawnIoDriver::Installed = false;
std::string PawnIoDriver::Why;

uint64_t ReadMsr(const tPawnIoDevice& device, uint64_t msr, uint32_t expectStatus = kNtSuccess) {
  uint64_t value = 0xDEAD;
  EXPECT_EQ(device.Execute("ioctl_read_msr", &msr, 1, &value, 1), expectStatus)
      << "msr 0x" << std::hex << msr;
  return value;
}

// Checks that APERF / MPERF x base equals the effective ratio. Each APERF
// read lies between two MPERF reads, so the bounds hold however long the
// requests take on a busy machine.
void ExpectEffectiveRatio(const tPawnIoDevice& device, uint64_t aperf, uint64_t mperf,
                          double base, double effective) {
  const uint64_t m0 = ReadMsr(device, mperf), a0 = ReadMsr(device, aperf);
  const uint64_t m0end = ReadMsr(device, mperf);
  Sleep(300);
  const uint64_t m1 = ReadMsr(device, mperf), a1 = ReadMsr(device, aperf);
  const uint64_t m1end = ReadMsr(device, mperf);
  ASSERT_GT(m1, m0end);
  const double lowest = base * double(a1 - a0) / double(m1end - m0);
  const double highest = base * double(a1 - a0) / double(m1 - m0end);
  EXPECT_LE(lowest, effective * 1.001);
  EXPECT_GE(highest, effective * 0.999);
  // MPERF counts at the TSC rate: at least 3000 MHz here.
  EXPECT_GT(m1 - m0end, 3000e6 * 0.25);
}

}  // namespace

// Runs before the driver is installed (tests run in the order of this file).
TEST(PawnIoClient, TellsNotInstalledWhenThereIsNoDevice) {
  tPawnIoDevice device;
  uint32_t error = 0, version = 0;
  EXPECT_EQ(device.Open(error, version), tPawnIoOpen::NotInstalled);
  EXPECT_EQ(error, DWORD(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.Execute("ioctl_read_msr", nullptr, 0, nullptr, 0), kNtInvalidParameter);
}

TEST(PawnIoClient, ModuleFileRuleOnRealFiles) {
  const std::string folder = DriverFolder();
  CreateDirectoryA(folder.c_str(), nullptr);
  std::vector<uint8_t> bytes;
  EXPECT_EQ(ReadPawnIoModuleFile(folder + "absent.bin", bytes), tModuleFile::Missing);
  EXPECT_EQ(ReadPawnIoModuleFile(folder, bytes), tModuleFile::Missing);
  std::ofstream(folder + "empty.bin").close();
  EXPECT_EQ(ReadPawnIoModuleFile(folder + "empty.bin", bytes), tModuleFile::Empty);
  std::ofstream(folder + "large.bin", std::ios::binary) << std::string((1 << 20) + 1, 'x');
  EXPECT_EQ(ReadPawnIoModuleFile(folder + "large.bin", bytes), tModuleFile::TooLarge);
  std::ofstream(folder + "full.bin", std::ios::binary) << std::string(1 << 20, 'y');
  EXPECT_EQ(ReadPawnIoModuleFile(folder + "full.bin", bytes), tModuleFile::Usable);
  EXPECT_EQ(bytes.size(), size_t(1) << 20);
  EXPECT_EQ(bytes.back(), 'y');
}

TEST(PawnIoClient, PinRestoresTheThreadsAffinity) {
  const DWORD_PTR before = SetThreadAffinityMask(GetCurrentThread(), 1);
  SetThreadAffinityMask(GetCurrentThread(), before);
  {
    tProcessorPin pin(0);
    EXPECT_TRUE(pin.Pinned());
    const DWORD_PTR inside = SetThreadAffinityMask(GetCurrentThread(), 1);
    EXPECT_EQ(inside, DWORD_PTR(1));
  }
  const DWORD_PTR after = SetThreadAffinityMask(GetCurrentThread(), before);
  EXPECT_EQ(after, before);
  EXPECT_FALSE(tProcessorPin(-1).Pinned());
  EXPECT_FALSE(tProcessorPin(sizeof(DWORD_PTR) * 8).Pinned());
}

TEST_F(PawnIoDriver, ReportsVersionInExactlyFourBytes) {
  WriteProfile(kIntelProfile);
  tPawnIoDevice device;
  uint32_t error = 0, version = 0;
  ASSERT_EQ(device.Open(error, version), tPawnIoOpen::Opened);
  EXPECT_EQ(version, 0x00020200u);
  version = 0;
  ASSERT_TRUE(device.ReadVersion(version));
  EXPECT_EQ(version, 0x00020200u);
  EXPECT_EQ(FormatPawnIoVersion(version), "2.2.0");

  // Any other output size is refused (checked with a handle of our own).
  tUniqueFileHandle raw(CreateFileA(kPawnIoDevicePath, GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
  ASSERT_TRUE(raw);
  uint64_t wide = 0;
  DWORD written = 0;
  EXPECT_FALSE(DeviceIoControl(raw.get(), kPawnIoVersionCode, nullptr, 0, &wide, sizeof wide,
                               &written, nullptr));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

  tPawnIoDevice other = Open(kIntelProfile + std::string("pawnio.version=0x030104\n"));
  ASSERT_TRUE(other.ReadVersion(version));
  EXPECT_EQ(FormatPawnIoVersion(version), "3.1.4");
}

TEST_F(PawnIoDriver, LoadsTheModuleOfItsProcessorOnly) {
  struct tCase {
    const char* Profile;
    const char* Module;
    uint32_t Status;
  };
  const tCase cases[] = {
      {kIntelProfile, "IntelMSR.bin", kNtSuccess},
      {kZenProfile, "AMDFamily17.bin", kNtSuccess},
      {kFamily10Profile, "AMDFamily10.bin", kNtSuccess},
      {kK8Profile, "AMDFamily0F.bin", kNtSuccess},
      {kIntelProfile, "AMDFamily17.bin", kNtNotSupported},
      {kZenProfile, "IntelMSR.bin", kNtNotSupported},
      {kZenProfile, "AMDFamily10.bin", kNtNotSupported},
      {kK8Profile, "AMDFamily17.bin", kNtNotSupported},
      {kIntelProfile, "Refused.bin", kNtNotSupported},
  };
  for (const tCase& c : cases) {
    SCOPED_TRACE(c.Module);
    tPawnIoDevice device = Open(c.Profile);
    EXPECT_EQ(device.LoadModule(ModuleBytes(c.Module)), c.Status);
  }
  tPawnIoDevice device = Open(kIntelProfile);
  const std::string junk = "MZ not a test module";
  EXPECT_EQ(device.LoadModule(std::vector<uint8_t>(junk.begin(), junk.end())),
            kNtInvalidImageFormat);
}

TEST_F(PawnIoDriver, OneModulePerHandleAndNoCallsWithoutOne) {
  tPawnIoDevice device = Open(kIntelProfile);
  ReadMsr(device, 0x19C, kNtInvalidParameter);
  ASSERT_EQ(device.LoadModule(ModuleBytes("IntelMSR.bin")), kNtSuccess);
  EXPECT_EQ(device.LoadModule(ModuleBytes("IntelMSR.bin")), kNtAlreadyInitialized);
  EXPECT_EQ(ReadMsr(device, 0x19C), 0x883C0000u);
  // A second handle holds a module of its own.
  tPawnIoDevice second = Open(kIntelProfile, "IntelMSR.bin");
  EXPECT_EQ(ReadMsr(second, 0xCE), 0x2200u);
}

TEST_F(PawnIoDriver, IntelModuleReadsOnlyItsAllowedMsrsOnThePinnedProcessor) {
  tPawnIoDevice device = Open(kIntelProfile, "IntelMSR.bin");
  {
    tProcessorPin pin(0);
    EXPECT_EQ(ReadMsr(device, 0x19C), 0x883C0000u);
  }
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  if (info.dwNumberOfProcessors > 1) {
    tProcessorPin pin(1);
    ASSERT_TRUE(pin.Pinned());
    EXPECT_EQ(ReadMsr(device, 0x19C), 0x883A0000u);
  }
  for (uint64_t refused : {0x1A0u, 0x309u, 0x30Au, 0x30Bu, 0x38Du, 0x38Fu, 0xC00000E8u})
    ReadMsr(device, refused, kNtAccessDenied);
  const uint64_t write[] = {0x38F, 7};
  EXPECT_EQ(device.Execute("ioctl_write_msr", write, 2, nullptr, 0), kNtAccessDenied);
  EXPECT_EQ(device.Execute("ioctl_read_smn", write, 1, nullptr, 0), 0xC000007Au);
}

TEST_F(PawnIoDriver, AperfOverMperfGivesTheEffectiveRatio) {
  tPawnIoDevice device = Open(kIntelProfile, "IntelMSR.bin");
  ExpectEffectiveRatio(device, 0xE8, 0xE7, 34.0, 38.0);
}

TEST_F(PawnIoDriver, ZenModuleReadsSmnAndTheReadOnlyCounterCopies) {
  tPawnIoDevice device = Open(kZenProfile, "AMDFamily17.bin");
  uint64_t address = 0x59800, value = 0;
  ASSERT_EQ(device.Execute("ioctl_read_smn", &address, 1, &value, 1), kNtSuccess);
  EXPECT_EQ(value, 0x4A400000u);
  address = 0x59954;
  ASSERT_EQ(device.Execute("ioctl_read_smn", &address, 1, &value, 1), kNtSuccess);
  EXPECT_EQ(value, 0xA40u);
  ExpectEffectiveRatio(device, 0xC00000E8, 0xC00000E7, 38.0, 45.0);
  ReadMsr(device, 0xE8, kNtAccessDenied);
  ReadMsr(device, 0x19C, kNtAccessDenied);

  // The module reads SMN only when the root complex 0:0.0 is AMD's.
  tPawnIoDevice intelRoot =
      Open(kZenProfile + std::string("pci.0x0.0x0=0x14508086\n"), "AMDFamily17.bin");
  address = 0x59800;
  EXPECT_EQ(intelRoot.Execute("ioctl_read_smn", &address, 1, &value, 1), kNtNotSupported);
  // A register the profile makes the driver refuse.
  tPawnIoDevice denied =
      Open(kZenProfile + std::string("pawnio.deny_smn=0x59800\n"), "AMDFamily17.bin");
  EXPECT_EQ(denied.Execute("ioctl_read_smn", &address, 1, &value, 1), kNtAccessDenied);
}

TEST_F(PawnIoDriver, Family10ModuleReadsOnlyItsMiscControlOffsets) {
  tPawnIoDevice device = Open(kFamily10Profile, "AMDFamily10.bin");
  struct tCase {
    uint64_t Node, Offset;
    uint32_t Status;
    uint64_t Value;
  };
  const tCase cases[] = {
      {0, 0xA4, kNtSuccess, 0x34A00000}, {0, 0x00, kNtSuccess, 0x12031022},
      {0, 0xD4, kNtSuccess, 0xC07},      {0, 0x90, kNtAccessDenied, 0},
      {1, 0xA4, kNtNotSupported, 0},     {8, 0xA4, kNtInvalidParameter, 0},
  };
  for (const tCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "node " << c.Node << " offset 0x" << std::hex << c.Offset);
    const uint64_t args[] = {c.Node, c.Offset};
    uint64_t value = 0;
    EXPECT_EQ(device.Execute("ioctl_read_miscctl", args, 2, &value, 1), c.Status);
    if (c.Status == kNtSuccess) {
      EXPECT_EQ(value, c.Value);
    }
  }
}

TEST_F(PawnIoDriver, K8ModuleSelectsTheCoreOfItsThermalTripRead) {
  tPawnIoDevice device = Open(kK8Profile, "AMDFamily0F.bin");
  for (uint64_t core : {0u, 1u}) {
    const uint64_t args[] = {0, core};
    uint64_t value = 0;
    ASSERT_EQ(device.Execute("ioctl_get_thermtrip", args, 2, &value, 1), kNtSuccess);
    EXPECT_EQ(value >> 16 & 0xFF, core == 0 ? 100u : 98u);
  }
  const uint64_t badCore[] = {0, 2};
  uint64_t value = 0;
  EXPECT_EQ(device.Execute("ioctl_get_thermtrip", badCore, 2, &value, 1), kNtInvalidParameter);
}

TEST_F(PawnIoDriver, ProfileCanDenyTheOpenOrBreakIt) {
  WriteProfile(kIntelProfile + std::string("pawnio.deny_open=1\n"));
  tPawnIoDevice device;
  uint32_t error = 0, version = 0;
  EXPECT_EQ(device.Open(error, version), tPawnIoOpen::AccessDenied);
  EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(device.IsOpen());

  WriteProfile("vendor=GenuineIntel\nbogus=1\n");
  EXPECT_EQ(device.Open(error, version), tPawnIoOpen::Failed);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_NE(Log().find("open status=0xC0000182 profile line 2: "), std::string::npos) << Log();
}

TEST_F(PawnIoDriver, LogsEveryCall) {
  {
    tPawnIoDevice device = Open(kIntelProfile, "IntelMSR.bin");
    tProcessorPin pin(0);
    ReadMsr(device, 0x19C);
    ReadMsr(device, 0x1A0, kNtAccessDenied);
  }
  const std::string log = Log();
  for (const char* line : {"\nopen status=0x0\r\n", "\nload IntelMSR status=0x0\r\n",
                           "\nexecute ioctl_read_msr args=0x19C cpu=0x0 status=0x0 results=0x883C0000\r\n",
                           "\nexecute ioctl_read_msr args=0x1A0 cpu=0x0 status=0xC0000022\r\n",
                           "\nclose IntelMSR\r\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
}
