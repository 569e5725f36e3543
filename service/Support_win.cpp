#include "service/Support_win.h"

#include <windows.h>

#include <vector>

#include "common/ThreadBase_win.h"
#include "service/ServiceMessages.h"
#include "service/ServiceState_win.h"
#include "service/WinHandle_win.h"

namespace {

std::string LocalDateTimeText(bool& midnight) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char date[128] = "";
  char time[128] = "";
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, sizeof date);
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, sizeof time);
  midnight = now.wHour == 0 && now.wMinute == 0 && now.wSecond == 0;
  return std::string(date) + '\n' + time;
}

void WriteAll(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void LogMessage(const char* text) {
  bool midnight = false;
  const std::string stamp = LocalDateTimeText(midnight);
  const size_t split = stamp.find('\n');
  const std::string line =
      ComposeLogLine(stamp.substr(0, split), stamp.substr(split + 1), midnight, text) + "\r\n";

  tThreadLockGuard lock;
  if (!LogFileName.empty()) {
    tUniqueFileHandle file(CreateFileA(LogFileName.c_str(), FILE_APPEND_DATA,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) WriteAll(file.get(), line);
  } else {
    WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), line);
  }
}

void WriteConsoleLine(const std::string& text) {
  tThreadLockGuard lock;
  WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), text + "\r\n");
}

std::string AnsiToOem(const std::string& text) {
  if (text.empty()) return text;
  const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wide <= 0) return text;
  std::wstring buffer(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &buffer[0], wide);
  const int narrow = WideCharToMultiByte(CP_OEMCP, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return text;
  std::string oem(static_cast<size_t>(narrow), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, buffer.data(), wide, &oem[0], narrow, nullptr, nullptr);
  return oem;
}

void FindDriverLibrary() { DriverPath = SearchDriverLibrary(ProgramFolder(), !LogFileName.empty()); }

std::string SearchDriverLibrary(const std::string& programFolder, bool serviceRole) {
  const std::string beside = programFolder + kDriverLibraryName;
  if (FileExists(beside)) return beside;
  if (serviceRole) {
    char system[MAX_PATH];
    const UINT n = GetSystemDirectoryA(system, sizeof system);
    if (n > 0 && n < sizeof system) {
      const std::string inSystem = std::string(system, n) + "\\" + kDriverLibraryName;
      if (FileExists(inSystem)) return inSystem;
    }
  }

  std::string pathValue;
  const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (size > 0) {
    pathValue.resize(size);
    const DWORD length = GetEnvironmentVariableA("PATH", &pathValue[0], size);
    pathValue.resize(length < size ? length : 0);
  }
  for (const std::string& candidate : DriverSearchCandidates(pathValue, kDriverLibraryName)) {
    if (!FileExists(candidate)) continue;
    // A match in the current directory is made absolute, so that the library
    // loaded later is the file found here and not one on the DLL search path.
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(candidate.c_str(), sizeof full, full, nullptr);
    const std::string found = (length > 0 && length < sizeof full) ? std::string(full, length) : candidate;
    if (!serviceRole) return found;
    LogMessage(SkippedDriverLine(found, programFolder).c_str());
    return std::string();
  }
  return std::string();
}

void ReadOwnVersion(uint32_t& most, uint32_t& least) {
  const std::string file = ProgramFileName();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (size == 0) return;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(file.c_str(), 0, size, data.data())) return;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length)) return;
  if (info == nullptr || length < sizeof(VS_FIXEDFILEINFO)) return;
  most = info->dwFileVersionMS;
  least = info->dwFileVersionLS;
}

void SleepMs(uint32_t ms) {
  tUniqueHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (event) {
    WaitForSingleObject(event.get(), ms);
  } else {
    Sleep(ms);
  }
}

namespace {

// Reads every pending console input event; true when one of them is an
// Escape key press. Reading them also empties the queue, so that the next
// wait sleeps until new input arrives.
bool DrainInputForEscape(HANDLE input) {
  bool escape = false;
  DWORD pending = 0;
  while (GetNumberOfConsoleInputEvents(input, &pending) && pending > 0) {
    INPUT_RECORD records[32];
    DWORD read = 0;
    if (!ReadConsoleInputA(input, records, 32, &read) || read == 0) break;
    for (DWORD i = 0; i < read; ++i) {
      if (records[i].EventType == KEY_EVENT && records[i].Event.KeyEvent.bKeyDown &&
          records[i].Event.KeyEvent.wVirtualKeyCode == VK_ESCAPE) {
        escape = true;
      }
    }
  }
  return escape;
}

}  // namespace

bool WaitOrEscape(uint32_t ms) {
  const DWORD start = GetTickCount();
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &mode)) {
    // No console to read keys from (input redirected): just wait.
    SleepMs(ms);
    return false;
  }
  DWORD remaining = ms;
  for (;;) {
    if (DrainInputForEscape(input)) return true;
    if (WaitForSingleObject(input, remaining) != WAIT_OBJECT_0) return false;
    if (GetAsyncKeyState(VK_ESCAPE) & 0x8001) return true;
    if (DrainInputForEscape(input)) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return false;
    remaining = ms - elapsed;
  }
}
