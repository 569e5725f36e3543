// The shell's utilities, configuration file and service link under Wine:
// profile reads and writes on a real file, the published block read through
// a section made here, the program's own link time, version values, process
// and path lookups.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "applet/shell/Config_win.h"
#include "applet/shell/ServiceLink_win.h"
#include "applet/shell/ShellRules.h"
#include "applet/shell/SysUtils_win.h"

namespace {

std::string TempFile(const char* name) {
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  return std::string(base) + name;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path.c_str(), std::ios::binary) << text;
}

std::string FileName(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

bool EndsWithNoCase(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && lstrcmpiA(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

// A copy of this program under another name, started suspended and ended
// with the fixture.
class SuspendedCopy {
 public:
  explicit SuspendedCopy(const std::string& name) : Path(TempFile(name.c_str())) {
    ZeroMemory(&Info, sizeof Info);
    if (!CopyFileA(ProgramFileName().c_str(), Path.c_str(), FALSE)) return;
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + Path + "\"";
    CreateProcessA(Path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                   &startup, &Info);
  }
  ~SuspendedCopy() {
    if (Info.hProcess != nullptr) {
      TerminateProcess(Info.hProcess, 0);
      WaitForSingleObject(Info.hProcess, 5000);
      CloseHandle(Info.hThread);
      CloseHandle(Info.hProcess);
    }
    DeleteFileA(Path.c_str());
  }
  SuspendedCopy(const SuspendedCopy&) = delete;
  SuspendedCopy& operator=(const SuspendedCopy&) = delete;
  bool Running() const { return Info.hProcess != nullptr; }

  std::string Path;
  PROCESS_INFORMATION Info;
};

// Points IniPath at a fresh file with the given text for one test.
class ProfileFile : public ::testing::Test {
 protected:
  void Use(const std::string& text) {
    path_ = TempFile("kes-shell-test.ini");
    WriteFile(path_, text);
    IniPath = path_;
  }
  void TearDown() override {
    if (!path_.empty()) DeleteFileA(path_.c_str());
    IniPath.clear();
  }
  std::string path_;
};

TEST_F(ProfileFile, AbsentKeyIsToldFromEmptyValue) {
  Use("[Common]\r\nEmpty=\r\nQuoted=\"  a b  \"\r\nPlain=  text  \r\n");
  const TProfileIni ini;
  std::string value = "unchanged";
  EXPECT_FALSE(ini.ReadKey("Common", "Missing", value));
  EXPECT_FALSE(ini.ReadKey("NoSection", "Empty", value));
  EXPECT_EQ(value, "unchanged");
  ASSERT_TRUE(ini.ReadKey("Common", "Empty", value));
  EXPECT_EQ(value, "");
  ASSERT_TRUE(ini.ReadKey("common", "PLAIN", value));
  EXPECT_EQ(value, "text");
  ASSERT_TRUE(ini.ReadKey("Common", "Quoted", value));
  EXPECT_EQ(value, "  a b  ");
}

TEST_F(ProfileFile, LongValueIsReadWhole) {
  const std::string longValue(3000, 'v');
  Use("[Common]\r\nLong=" + longValue + "\r\n");
  std::string value;
  ASSERT_TRUE(TProfileIni().ReadKey("Common", "Long", value));
  EXPECT_EQ(value, longValue);
}

TEST_F(ProfileFile, BothSpellingsAddressOneSection) {
  Use("[Network]\r\nIndex=1\r\n[nVidia]\r\nAlarm=70\r\n");
  WriteIniInteger("NetWork", "Index", 3);
  WriteIniString("NVidia", "Alarm", "0x50");
  const TProfileIni ini;
  std::string value;
  ASSERT_TRUE(ini.ReadKey("Network", "Index", value));
  EXPECT_EQ(value, "3");
  ASSERT_TRUE(ini.ReadKey("nVidia", "Alarm", value));
  EXPECT_EQ(value, "0x50");
  // Rewritten in place: still one section of each.
  std::ifstream in(path_.c_str());
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("[NetWork]"), std::string::npos) << text;
  EXPECT_EQ(text.find("[NVidia]"), std::string::npos) << text;
}

TEST_F(ProfileFile, ItemsAndTheirSettingsThroughTheProfileCalls) {
  Use("[Common]\r\nClock=3,2\r\nClock.Font=5x6\r\nFahrenheit=true\r\nDoInvert=2\r\n"
      "Date=12\r\nDateStr=yyyy\r\nLCore=C:\\nowhere\\LCore.exe\r\n"
      "[Processor]\r\nAlarm=-5\r\nUsage.00=10,20\r\nUsage.Font.00=D7x10\r\n"
      "[NetWork]\r\nIndex=7\r\nUpStream=1,1\r\n");
  tLcdSettings settings;
  tTextItem item;
  ReadShellTextItem(item, "Common", "Clock", kNoIndex, settings);
  EXPECT_TRUE(item.Visible);
  EXPECT_EQ(item.X, 4);
  EXPECT_EQ(item.Y, 1);
  EXPECT_EQ(item.Font, 2);
  EXPECT_TRUE(settings.Fahrenheit);
  EXPECT_TRUE(settings.DoInvert);
  EXPECT_EQ(settings.CpuAlarm, -5);

  ReadShellTextItem(item, "Processor", "Usage", 0, settings);
  EXPECT_TRUE(item.Visible);
  EXPECT_EQ(item.X, 11);
  EXPECT_EQ(item.Y, 20);
  EXPECT_EQ(item.Font, 5);

  ReadShellTextItem(item, "Network", "UpStream", kNoIndex, settings);
  EXPECT_EQ(settings.NetworkIndex, 7);

  // No LCore.exe runs here: the configured path stays and nothing is written.
  ReadShellTextItem(item, "Common", "Date", kNoIndex, settings);
  EXPECT_FALSE(item.Visible);
  EXPECT_EQ(settings.DateFormat, "yyyy");
  EXPECT_EQ(settings.LCorePath, "C:\\nowhere\\LCore.exe");
}

TEST_F(ProfileFile, RunningLCoreGivesItsPathAndIsWrittenBack) {
  Use("[Common]\r\nDate=42,1\r\nLCore=C:\\nowhere\\LCore.exe\r\n");
  const SuspendedCopy manager("LCore.exe");
  ASSERT_TRUE(manager.Running());
  tLcdSettings settings;
  tTextItem item;
  ReadShellTextItem(item, "Common", "Date", kNoIndex, settings);
  EXPECT_TRUE(item.Visible);
  EXPECT_EQ(lstrcmpiA(settings.LCorePath.c_str(), manager.Path.c_str()), 0) << settings.LCorePath;
  std::string written;
  ASSERT_TRUE(TProfileIni().ReadKey("Common", "LCore", written));
  EXPECT_EQ(written, settings.LCorePath);

  // A configured path that names a file is kept as it is.
  WriteIniString("Common", "LCore", ProgramFileName());
  ReadShellTextItem(item, "Common", "Date", kNoIndex, settings);
  EXPECT_EQ(settings.LCorePath, ProgramFileName());
  // Other items leave the path alone.
  settings.LCorePath = "x";
  ReadShellTextItem(item, "Common", "date", kNoIndex, settings);
  EXPECT_EQ(settings.LCorePath, "x");
}

TEST_F(ProfileFile, FractionsWithPointOnly) {
  Use("[NVidia]\r\nMemClock.Multiplier=7\r\n[ATi]\r\nMemClock.Multiplier=2,5\r\n"
      "[Test]\r\nHalf=0.5\r\nEmpty=\r\nWord=fast\r\n");
  EXPECT_EQ(ReadIniFloat("NVidia", "MemClock.Multiplier"), 7.0);  // the caller clamps
  EXPECT_EQ(Clamp(ReadIniFloat("NVidia", "MemClock.Multiplier"), 1.0, 4.0), 4.0);
  EXPECT_EQ(ReadIniFloat("ATi", "MemClock.Multiplier"), 1.0);
  EXPECT_EQ(ReadIniFloat("nvidia", "memclock.multiplier"), 7.0);
  EXPECT_EQ(ReadIniFloat("Test", "Half"), 0.5);
  EXPECT_EQ(ReadIniFloat("Test", "Empty"), 1.0);
  EXPECT_EQ(ReadIniFloat("Test", "Word"), 1.0);
  EXPECT_EQ(ReadIniFloat("Test", "Missing"), 1.0);
  // A program locale with a decimal comma changes nothing.
  if (setlocale(LC_NUMERIC, "German_Germany.1252") != nullptr) {
    EXPECT_EQ(ReadIniFloat("Test", "Half"), 0.5);
    EXPECT_EQ(ReadIniFloat("ATi", "MemClock.Multiplier"), 1.0);
    setlocale(LC_NUMERIC, "C");
  } else {
    ADD_FAILURE() << "no German locale";
  }
}

TEST(ProfileWrites, SkippedWithoutAFile) {
  IniPath = TempFile("kes-shell-missing.ini");
  DeleteFileA(IniPath.c_str());
  WriteIniString("Common", "DoInvert", "1");
  WriteIniInteger("NetWork", "Index", 2);
  EXPECT_FALSE(FileExists(IniPath));
  EXPECT_EQ(ReadIniFloat("NVidia", "MemClock.Multiplier"), 1.0);
  std::string value;
  EXPECT_FALSE(TProfileIni().ReadKey("Common", "DoInvert", value));
  IniPath.clear();
}

// A section under the block's name, as the service publishes it.
class PublishedBlock {
 public:
  PublishedBlock()
      : Section(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kHardwareBlockSize,
                                   kHardwareBlockName)) {}
  ~PublishedBlock() {
    if (Section != nullptr) CloseHandle(Section);
  }
  PublishedBlock(const PublishedBlock&) = delete;
  PublishedBlock& operator=(const PublishedBlock&) = delete;
  bool Write(const tHardwareBlock& block) {
    void* view = MapViewOfFile(Section, FILE_MAP_WRITE, 0, 0, 0);
    if (view == nullptr) return false;
    std::memcpy(view, &block, sizeof block);
    UnmapViewOfFile(view);
    return true;
  }
  HANDLE Section;
};

tHardwareBlock Block(uint32_t recordSize) {
  tHardwareBlock block;
  PrepareHardwareBlock(block, 0x00010002, 0x00030004);
  block.RecordSize = recordSize;
  block.Signature = 0x00A20F10;
  block.TjMax = 95;
  block.TscClock = 3400.0;
  block.CpuClock = 3700.0;
  block.Temperatures[0] = 50.0;
  block.Temperatures[1] = 60.0;
  block.Generation = 5;
  block.MultiplierClock = 3900.0;
  block.BusClock = 100.0;
  return block;
}

tCPUData TwoProcessors() {
  tCPUData cpu{};
  cpu.BusClock = 133.0;
  cpu.RealClock = -1;
  cpu.TemperatureItems.assign(2, tTextItem{});
  return cpu;
}

TEST(ServiceLink, ReadsThePublishedBlock) {
  tCPUData cpu = TwoProcessors();
  tLcdSettings settings;
  settings.CpuAlarm = settings.CpuAlarmSetting = -10;
  std::string text;
  ReadServiceBlock(cpu, settings, text);
  EXPECT_EQ(text, "Service not found");  // no section
  EXPECT_EQ(settings.CpuAlarm, -10);

  PublishedBlock published;
  ASSERT_NE(published.Section, nullptr) << GetLastError();
  ReadServiceBlock(cpu, settings, text);
  EXPECT_EQ(text, "Service not found");  // fresh: all zero
  EXPECT_EQ(cpu.RealClock, -1);

  ASSERT_TRUE(published.Write(Block(316)));
  settings.Fahrenheit = true;
  ReadServiceBlock(cpu, settings, text);
  EXPECT_EQ(text, "Service 1.2.3.4");
  EXPECT_EQ(cpu.Frequency.Value, 3700.0);
  EXPECT_EQ(cpu.RealClock, 3900.0);
  EXPECT_EQ(cpu.BusClock, 100.0);
  EXPECT_EQ(cpu.Signature, 0x00A20F10u);
  EXPECT_EQ(cpu.TemperatureItems[0].Value, 122.0);
  EXPECT_EQ(cpu.TemperatureItems[1].Value, 140.0);
  EXPECT_EQ(settings.CpuAlarm, 185);  // TjMax 95 - 10 = 85 degrees C

  settings.Fahrenheit = false;
  tCPUData older = TwoProcessors();
  ASSERT_TRUE(published.Write(Block(296)));
  ReadServiceBlock(older, settings, text);
  EXPECT_EQ(text, "Service 1.2.3.4");
  EXPECT_EQ(older.RealClock, 3400.0);
  EXPECT_EQ(older.BusClock, 133.0);
  EXPECT_EQ(older.TemperatureItems[0].Value, 50.0);
  EXPECT_EQ(settings.CpuAlarm, 85);

  for (uint32_t wrong : {0u, 300u, 315u, 317u, 0xFFFFFFFFu}) {
    tCPUData unchanged = TwoProcessors();
    ASSERT_TRUE(published.Write(Block(wrong)));
    ReadServiceBlock(unchanged, settings, text);
    EXPECT_EQ(text, "Service not found") << wrong;
    EXPECT_EQ(unchanged.RealClock, -1) << wrong;
    EXPECT_EQ(unchanged.TemperatureItems[0].Value, 0.0) << wrong;
  }
}

TEST(OwnProgram, LinkTimeOfTheExecutable) {
  const SYSTEMTIME linked = GetLinkTime(ProgramFileName());
  EXPECT_GE(linked.wYear, 2020);
  EXPECT_GE(linked.wMonth, 1);
}

TEST(OwnProgram, LinkTimeOfCraftedFiles) {
  std::string header(512, '\0');
  header[0] = 'M';
  header[1] = 'Z';
  header[60] = static_cast<char>(128);
  std::memcpy(&header[128], "PE\0\0", 4);
  const uint32_t stamp = 0x80000000u;  // 2038-01-19 03:14:08 UTC
  std::memcpy(&header[136], &stamp, 4);
  const std::string path = TempFile("kes-shell-stamp.exe");
  WriteFile(path, header);
  const SYSTEMTIME late = GetLinkTime(path);
  EXPECT_EQ(late.wYear, 2038);
  EXPECT_EQ(late.wMonth, 1);
  EXPECT_GE(late.wDay, 18);
  EXPECT_LE(late.wDay, 20);

  WriteFile(path, header.substr(0, 511));
  EXPECT_EQ(GetLinkTime(path).wYear, 0);
  DeleteFileA(path.c_str());
  EXPECT_EQ(GetLinkTime(path).wYear, 0);
}

TEST(OwnProgram, VersionValuesOfTheFirstTranslation) {
  EXPECT_EQ(GetVersionString("ProductName"), "Kestrani test");
  EXPECT_EQ(GetVersionString("NoSuchValue"), "NoSuchValue");
  EXPECT_EQ(GetVersionString("Comments"), "Comments");  // blanks only
}

TEST(Processes, FindsItselfByFileName) {
  const std::string self = ProgramFileName();
  const std::string name = FileName(self);
  EXPECT_EQ(FindProcess(name), GetCurrentProcessId());
  EXPECT_EQ(FindProcess(self), GetCurrentProcessId());  // a folder part is ignored
  std::string upper = name;
  CharUpperA(&upper[0]);
  EXPECT_EQ(FindProcess(upper), GetCurrentProcessId());
  EXPECT_EQ(FindProcess("kes-no-such-program.exe"), 0u);
}

// The first drive letter from c on that has no device behind it.
char FirstLetterWithoutDevice() {
  for (char letter = 'c'; letter <= 'z'; ++letter) {
    const char drive[3] = {letter, ':', '\0'};
    char device[MAX_PATH];
    if (QueryDosDeviceA(drive, device, sizeof device) == 0) return letter;
  }
  return 0;
}

TEST(Processes, PathWithDriveLetter) {
  EXPECT_EQ(GetProcessPath(0), "");
  const SuspendedCopy child("kes-shell-child.exe");  // on the first drive
  ASSERT_TRUE(child.Running());
  const std::string path = GetProcessPath(child.Info.dwProcessId);
  EXPECT_EQ(lstrcmpiA(path.c_str(), child.Path.c_str()), 0) << path << " / " << child.Path;
}

TEST(Processes, LetterScanEndsAtTheFirstGap) {
  // This program lies on its own drive; past a letter without a device that
  // drive is not reached and the path keeps its device form.
  const std::string self = ProgramFileName();
  const std::string path = GetProcessPath(GetCurrentProcessId());
  EXPECT_TRUE(EndsWithNoCase(path, self.substr(2))) << path;
  const char gap = FirstLetterWithoutDevice();
  const char drive = static_cast<char>(self[0] | 0x20);  // the letter in lower case
  if (gap != 0 && drive > gap) {
    EXPECT_EQ(path.compare(0, 8, "\\Device\\"), 0) << path;
  } else {
    EXPECT_EQ(lstrcmpiA(path.c_str(), self.c_str()), 0) << path;
  }
}

TEST(Environment, VariablesOfAnyLength) {
  const std::string longValue(1000, 'e');
  SetEnvironmentVariableA("KES_SHELL_TEST", longValue.c_str());
  EXPECT_EQ(GetEnvVar("KES_SHELL_TEST"), longValue);
  SetEnvironmentVariableA("KES_SHELL_TEST", nullptr);
  EXPECT_EQ(GetEnvVar("KES_SHELL_TEST"), "");
}

TEST(Folders, EndWithASeparator) {
  EXPECT_TRUE(HasKnownFolderApi());
  EXPECT_TRUE(HasKnownFolderApi());  // the entry found is kept
  const std::string local = GetKnownFolder(FOLDERID_LocalAppData);
  if (IsUserAdmin() && GetShellWindow() == nullptr) {
    // Elevated without a desktop shell there is no user to ask for: a lone separator.
    EXPECT_EQ(local, "\\");
  } else {
    ASSERT_GT(local.size(), 3u) << local;
    EXPECT_EQ(local.back(), '\\');
    EXPECT_NE(GetFileAttributesA(local.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << local;
  }
  const std::string appData = GetSpecialFolder(CSIDL_APPDATA);
  ASSERT_GT(appData.size(), 3u) << appData;
  EXPECT_EQ(appData.back(), '\\');
  EXPECT_FALSE(FileExists(appData));  // a folder is no file
  EXPECT_EQ(GetSpecialFolder(0x7FFF), "");
}

TEST(Rights, AdministratorsAndPrivileges) {
  EXPECT_EQ(IsUserAdmin(), IsUserAnAdmin() != FALSE);
  EXPECT_FALSE(EnablePrivilege("SeNoSuchPrivilege", true));
}

TEST(LocalTexts, DateAndTimePictures) {
  SYSTEMTIME time;
  ZeroMemory(&time, sizeof time);
  time.wYear = 2026;
  time.wMonth = 12;
  time.wDay = 10;
  time.wHour = 8;
  time.wMinute = 49;
  time.wSecond = 5;
  EXPECT_EQ(FormatLocalDate(time, "yyyy-MM-dd"), "2026-12-10");
  EXPECT_EQ(FormatLocalTime(time, "HHmmss"), "084905");
  EXPECT_EQ(CaptureFileName("P\\", FormatLocalDate(time, "yyyy-MM-dd"), FormatLocalTime(time, "HHmmss")),
            "P\\2026-12-10-084905.bmp");
}

// The calls each message-filter function received, as "window message action".
std::vector<std::string> filterCalls;
BOOL filterAnswer = TRUE;

BOOL WINAPI FakeWindowFilter(HWND window, UINT message, DWORD action, void* status) {
  filterCalls.push_back("window " + std::to_string(reinterpret_cast<uintptr_t>(window)) + " " +
                        std::to_string(message) + " " + std::to_string(action) + (status ? " status" : ""));
  return filterAnswer;
}

BOOL WINAPI FakeProcessFilter(UINT message, DWORD action) {
  filterCalls.push_back("process " + std::to_string(message) + " " + std::to_string(action));
  return filterAnswer;
}

// The window's own filter where the system has it, else the process's, else
// nothing; every message is allowed (action 1).
TEST(MessageFilter, WindowFilterFirstThenProcessFilterThenNothing) {
  const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x40));
  const UINT messages[] = {0xC123, WM_COPYDATA, 0xC200};
  struct {
    tMessageFilterApi api;
    std::vector<std::string> calls;
  } cases[] = {
      {{FakeWindowFilter, FakeProcessFilter}, {"window 64 49443 1", "window 64 74 1", "window 64 49664 1"}},
      {{nullptr, FakeProcessFilter}, {"process 49443 1", "process 74 1", "process 49664 1"}},
      {{nullptr, nullptr}, {}},
  };
  for (const auto& c : cases) {
    filterCalls.clear();
    filterAnswer = TRUE;
    EXPECT_EQ(AllowLowerIntegrityMessages(window, messages, 3, c.api), static_cast<int>(c.calls.size()));
    EXPECT_EQ(filterCalls, c.calls);
  }
  filterAnswer = FALSE;
  EXPECT_EQ(AllowLowerIntegrityMessages(window, messages, 3, {FakeWindowFilter, FakeProcessFilter}), 0);
}

// user32 of this system has the calls (Wine accepts them without filtering).
TEST(MessageFilter, ResolvedFromTheSystem) {
  const tMessageFilterApi api = GetMessageFilterApi();
  EXPECT_NE(api.ChangeForWindow, nullptr);
  EXPECT_NE(api.ChangeForProcess, nullptr);
  const UINT message = RegisterWindowMessageA("kesFilterTest");
  EXPECT_EQ(AllowLowerIntegrityMessages(nullptr, &message, 1, {nullptr, api.ChangeForProcess}), 1);
}

// A window class of this program with the given procedure, to register.
WNDCLASSA TestWindowClass(const char* name, WNDPROC procedure) {
  WNDCLASSA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = name;
  return windowClass;
}

int closeMessages = 0;
LRESULT closeAnswer = 0;

LRESULT CALLBACK CountingWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ++closeMessages;
    return closeAnswer;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(Windows, CloseMessagesWhileTheyAnswerZero) {
  const WNDCLASSA windowClass = TestWindowClass("kesShellTestWindow", CountingWindow);
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  HWND windows[3];
  for (HWND& window : windows) {
    window = CreateWindowExA(0, windowClass.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             windowClass.hInstance, nullptr);
    if (window == nullptr) {
      UnregisterClassA(windowClass.lpszClassName, windowClass.hInstance);
      ASSERT_EQ(GetEnvVar("KES_NEED_DISPLAY"), "") << "no window under Xvfb";
      GTEST_SKIP() << "no display for windows here; shell_win_window_test runs this under Xvfb";
    }
  }
  closeMessages = 0;
  closeAnswer = 0;
  CloseProcessWindows(GetCurrentProcessId() + 4);  // no window of another process is ours
  EXPECT_EQ(closeMessages, 0);
  CloseProcessWindows(GetCurrentProcessId());
  EXPECT_EQ(closeMessages, 3);
  closeAnswer = 1;
  CloseProcessWindows(GetCurrentProcessId());
  EXPECT_EQ(closeMessages, 4);  // the first other answer ends the round
  for (HWND window : windows) DestroyWindow(window);
  UnregisterClassA(windowClass.lpszClassName, windowClass.hInstance);
}

// A window whose thread stops taking messages: it answers WM_CLOSE only once
// the test lets it go (or after half a minute), as a hung program would.
struct tHungWindow {
  HANDLE Created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE Release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HWND Window = nullptr;
  std::atomic<int> Closes{0};
};
tHungWindow* hung = nullptr;

LRESULT CALLBACK HungWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    ++hung->Closes;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI HungWindowThread(void*) {
  hung->Window = CreateWindowExA(0, "kesHungTestWindow", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  SetEvent(hung->Created);
  if (hung->Window == nullptr) return 0;
  WaitForSingleObject(hung->Release, 30000);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  DestroyWindow(hung->Window);
  return 0;
}

// A standby must not wait for a program that no longer answers.
TEST(Windows, HungWindowDoesNotHoldTheClose) {
  const WNDCLASSA windowClass = TestWindowClass("kesHungTestWindow", HungWindowProc);
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  tHungWindow state;
  hung = &state;
  HANDLE thread = CreateThread(nullptr, 0, HungWindowThread, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(state.Created, INFINITE);
  if (state.Window != nullptr) {
    CloseProcessWindows(GetCurrentProcessId());
    // The call came back without the hung thread having taken the message.
    EXPECT_EQ(state.Closes, 0);
  }
  SetEvent(state.Release);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  CloseHandle(state.Created);
  CloseHandle(state.Release);
  hung = nullptr;
  UnregisterClassA(windowClass.lpszClassName, windowClass.hInstance);
  if (state.Window == nullptr) {
    ASSERT_EQ(GetEnvVar("KES_NEED_DISPLAY"), "") << "no window under Xvfb";
    GTEST_SKIP() << "no display for windows here; shell_win_window_test runs this under Xvfb";
  }
}

// Counts the pixels of a memory bitmap that are no longer white.
int InkPixels(HDC dc, int width, int height) {
  int ink = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) ink += GetPixel(dc, x, y) != RGB(255, 255, 255);
  return ink;
}

TEST(MenuFont, MeasuresAndDraws) {
  EXPECT_GT(MenuTextExtent("Kestrani", nullptr), 0);
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  HBITMAP bitmap = CreateBitmap(120, 40, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, 120, 40};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  DrawMenuText(dc, 2, 2, "Kestrani");
  EXPECT_GT(InkPixels(dc, 120, 40), 10);
  EXPECT_GT(MenuTextExtent("Kestrani", dc), 0);

  const std::string path = "C:\\Program Files\\Kestrani\\a rather long folder name\\Kestrani.ini";
  const std::string compact = CompactPath(dc, path, 80);
  EXPECT_LT(compact.size(), path.size());
  EXPECT_NE(compact.find("..."), std::string::npos) << compact;
  EXPECT_EQ(CompactPath(dc, path, 100000), path);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

}  // namespace
