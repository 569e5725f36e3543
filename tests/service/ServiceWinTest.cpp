// The service's platform pieces under Wine: the section's access list, the
// publish/read round trip through the reader, the driver library search,
// the log writer and the worker's start-up failure.
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "service/HardwareBlockReader_win.h"
#include "service/ServiceState_win.h"
#include "service/SharedSection_win.h"
#include "service/Support_win.h"

namespace {

PSID WellKnown(WELL_KNOWN_SID_TYPE type, BYTE (&buffer)[SECURITY_MAX_SID_SIZE]) {
  DWORD size = sizeof buffer;
  return CreateWellKnownSid(type, nullptr, buffer, &size) ? buffer : nullptr;
}

// The access mask the section's list grants to one account, or 0.
DWORD AccessGrantedTo(HANDLE section, WELL_KNOWN_SID_TYPE type) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(section, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return 0xFFFFFFFF;
  }
  BYTE buffer[SECURITY_MAX_SID_SIZE];
  PSID sid = WellKnown(type, buffer);
  DWORD mask = 0;
  for (DWORD i = 0; dacl != nullptr && sid != nullptr && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (GetAce(dacl, i, reinterpret_cast<void**>(&ace)) &&
        ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
        EqualSid(reinterpret_cast<PSID>(&ace->SidStart), sid)) {
      mask |= ace->Mask;
    }
  }
  const bool nullDacl = dacl == nullptr;
  LocalFree(descriptor);
  return nullDacl ? 0xFFFFFFFF : mask;
}

TEST(SharedSection, EveryoneMayOnlyRead) {
  tSharedSection section;
  ASSERT_TRUE(section.Create());
  HANDLE opened = OpenFileMappingA(READ_CONTROL | FILE_MAP_READ, FALSE, kHardwareBlockName);
  ASSERT_NE(opened, nullptr);
  const DWORD everyone = AccessGrantedTo(opened, WinWorldSid);
  EXPECT_NE(everyone, 0xFFFFFFFFu) << "null access list";
  EXPECT_NE(everyone & SECTION_MAP_READ, 0u);
  EXPECT_EQ(everyone & (SECTION_MAP_WRITE | WRITE_DAC | WRITE_OWNER), 0u);
  EXPECT_EQ(AccessGrantedTo(opened, WinLocalSystemSid) & SECTION_ALL_ACCESS, SECTION_ALL_ACCESS);
  EXPECT_EQ(AccessGrantedTo(opened, WinBuiltinAdministratorsSid) & SECTION_ALL_ACCESS,
            SECTION_ALL_ACCESS);
  CloseHandle(opened);
}

TEST(SharedSection, ReaderSeesWhatIsPublished) {
  tBlockReading reading;
  EXPECT_FALSE(ReadPublishedBlock(reading));  // no section yet
  tSharedSection section;
  ASSERT_TRUE(section.Create());
  ASSERT_TRUE(section.Clear());
  EXPECT_FALSE(ReadPublishedBlock(reading));  // fresh: all zero
  tHardwareBlock block;
  PrepareHardwareBlock(block, 0x00010002, 0x00030004);
  block.TscClock = 3400.0;
  block.Generation = 5;
  block.MultiplierClock = 3800.0;
  block.BusClock = 100.0;
  ASSERT_TRUE(section.Publish(block));
  ASSERT_TRUE(ReadPublishedBlock(reading));
  EXPECT_EQ(FormatServiceVersion(reading.VersionMS, reading.VersionLS), "Service 1.2.3.4");
  EXPECT_EQ(reading.MultiplierClock, 3800.0);
  EXPECT_TRUE(reading.HasBusClock);
  // A view opened for reading cannot be written.
  HANDLE opened = OpenFileMappingA(FILE_MAP_READ, FALSE, kHardwareBlockName);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(MapViewOfFile(opened, FILE_MAP_WRITE, 0, 0, 0), nullptr);
  CloseHandle(opened);
}

std::string TempFolder(const char* name) {
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  std::string folder = std::string(base) + name;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

TEST(DriverSearch, FindsTheLibraryInAPathFolderWithoutSeparator) {
  const std::string programFolder = TempFolder("kes-drv-program") + "\\";
  const std::string folder = TempFolder("kes-drv-search");
  const std::string library = folder + "\\WinRing0.dll";
  { std::ofstream(library.c_str()) << "x"; }
  char oldPath[32767];
  const DWORD oldLength = GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
  SetEnvironmentVariableA("PATH", ("C:\\nowhere;;" + folder).c_str());
  EXPECT_EQ(SearchDriverLibrary(programFolder), library);
  // The service role, as LocalSystem, does not take it from there.
  EXPECT_EQ(SearchDriverLibrary(programFolder, true), "");
  SetEnvironmentVariableA("PATH", "C:\\nowhere");
  EXPECT_EQ(SearchDriverLibrary(programFolder), "");
  // Beside the program wins over PATH.
  SetEnvironmentVariableA("PATH", folder.c_str());
  const std::string beside = programFolder + "WinRing0.dll";
  { std::ofstream(beside.c_str()) << "x"; }
  EXPECT_EQ(SearchDriverLibrary(programFolder), beside);
  EXPECT_EQ(SearchDriverLibrary(programFolder, true), beside);
  DeleteFileA(beside.c_str());
  RemoveDirectoryA(programFolder.c_str());
  SetEnvironmentVariableA("PATH", oldLength ? oldPath : nullptr);
  DeleteFileA(library.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST(LogWriter, AppendsDatedLinesToTheLogFile) {
  const std::string folder = TempFolder("kes-log");
  LogFileName = folder + "\\MorvaithSvc.log";
  DeleteFileA(LogFileName.c_str());
  LogMessage("first");
  LogMessage("Leaving Service");
  std::ifstream in(LogFileName.c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  in.close();
  const std::string log = text.str();
  EXPECT_NE(log.find(" - first\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(" - Leaving Service\r\n"), std::string::npos) << log;
  EXPECT_GT(log.find(" - first"), 0u);  // a date comes first
  // A log that cannot be written drops the line and goes on.
  LogFileName = folder + "\\missing\\sub\\MorvaithSvc.log";
  LogMessage("dropped");
  LogFileName.clear();
  DeleteFileA((folder + "\\MorvaithSvc.log").c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST(OwnVersion, LeftUnchangedWithoutVersionResource) {
  uint32_t most = 7;
  uint32_t least = 9;
  ReadOwnVersion(most, least);  // the test program has no version resource
  EXPECT_EQ(most, 7u);
  EXPECT_EQ(least, 9u);
}

DWORD WINAPI RunWorker(void*) {
  ServiceWorker();
  return 0;
}

// Another object holds the section's name: the worker logs the failure and
// leaves at once, and no block appears. It runs on a thread of its own so
// that a worker that went on into its loop is stopped, not waited for.
TEST(ServiceWorker, LeavesWhenTheSectionCannotBeCreated) {
  HANDLE holder = CreateMutexA(nullptr, FALSE, kHardwareBlockName);
  ASSERT_NE(holder, nullptr) << GetLastError();
  const std::string folder = TempFolder("kes-worker");
  LogFileName = folder + "\\MorvaithSvc.log";
  DeleteFileA(LogFileName.c_str());
  StopRequested = false;
  HANDLE worker = CreateThread(nullptr, 0, RunWorker, nullptr, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  const DWORD waited = WaitForSingleObject(worker, 10000);
  if (waited != WAIT_OBJECT_0) {
    StopRequested = true;
    WaitForSingleObject(worker, 10000);
  }
  CloseHandle(worker);
  StopRequested = false;
  EXPECT_EQ(waited, WAIT_OBJECT_0) << "the worker did not leave by itself";
  HANDLE section = OpenFileMappingA(FILE_MAP_READ, FALSE, kHardwareBlockName);
  EXPECT_EQ(section, nullptr) << "a block was published";
  if (section) CloseHandle(section);
  CloseHandle(holder);

  std::ifstream in(LogFileName.c_str(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  in.close();
  const std::string log = text.str();
  const size_t failed = log.find(" - Failed to initialize Shared Memory!\r\n");
  ASSERT_NE(failed, std::string::npos) << log;
  const std::string after = log.substr(log.find('\n', failed) + 1);
  EXPECT_NE(after.find(" - Leaving Service\r\n"), std::string::npos) << log;
  EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 1) << "only the leaving line follows: " << log;
  LogFileName.clear();
  DeleteFileA((folder + "\\MorvaithSvc.log").c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
