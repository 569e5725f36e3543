// Program entry of Kestrani: the single-instance handshake (a new copy asks
// the running one to close and takes its place), the configuration file's
// place, and the one window with its message loop.
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "applet/shell/Applet_win.h"
#include "applet/shell/Config_win.h"
#include "applet/shell/MainWindow_win.h"
#include "applet/shell/ShellRules.h"
#include "applet/shell/SysUtils_win.h"
#include "applet/shell/UserFolder_win.h"
#include "applet/shell/WindowRules.h"

namespace {

// FOLDERID_LocalAppData.
constexpr GUID kLocalAppDataFolder = {0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};
constexpr LPARAM kCloseRequest = 16;
constexpr DWORD kCloseWait = 5000;
constexpr DWORD kSettleTime = 1000;
constexpr DWORD kClassStyle = CS_PARENTDC | CS_BYTEALIGNCLIENT;

constexpr DWORD kPollInterval = 100;

// Waits until a copy whose mutex we may not open has ended: its mutex is
// waited on when at least SYNCHRONIZE is granted, else its name is watched
// until it no longer exists. False after kCloseWait; error is then the
// last refusal's code.
bool WaitForUnreachableCopy(DWORD& error) {
  const DWORD start = GetTickCount();
  for (;;) {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, kAppletMutexName);
    error = GetLastError();
    const DWORD spent = GetTickCount() - start;
    const tRunningCopy copy = RunningCopyFromOpen(mutex != nullptr, error);
    if (copy == kNoRunningCopy) return true;
    if (copy == kRunningCopyOpened) {
      const DWORD wait = WaitForSingleObject(mutex, spent < kCloseWait ? kCloseWait - spent : 0);
      error = GetLastError();
      if (wait != WAIT_TIMEOUT && wait != WAIT_FAILED) ReleaseMutex(mutex);
      CloseHandle(mutex);
      return wait != WAIT_TIMEOUT && wait != WAIT_FAILED;
    }
    if (spent >= kCloseWait) return false;
    Sleep(kPollInterval);
  }
}

void ShowNoResponse(DWORD error) {
  ShowError(std::string("Error: \n\rno respone from other instance!\n\r\r") + SystemErrorText(error));
}

// Asks a running copy to close and waits for it; false when it did not.
// A copy whose mutex exists but refuses us (one that runs elevated) is a
// running copy too: taking the refusal for "none" would end this start
// silently at the mutex's creation.
bool CloseRunningCopy() {
  HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kAppletMutexName);
  const tRunningCopy copy = RunningCopyFromOpen(mutex != nullptr, GetLastError());
  if (copy == kNoRunningCopy) return true;
  PostMessageA(HWND_BROADCAST, AppletMessage, GetCurrentProcessId(), kCloseRequest);
  if (copy == kRunningCopyUnreachable) {
    DWORD error = 0;
    if (!WaitForUnreachableCopy(error)) {
      ShowNoResponse(error);
      return false;
    }
    Sleep(kSettleTime);
    return true;
  }
  const DWORD wait = WaitForSingleObject(mutex, kCloseWait);
  if (wait == WAIT_TIMEOUT || wait == WAIT_FAILED) {
    ShowNoResponse(GetLastError());
    CloseHandle(mutex);
    return false;
  }
  // The wait made us the owner; let go before closing, so that the mutex
  // is not left owned (and later abandoned) by this thread.
  ReleaseMutex(mutex);
  Sleep(kSettleTime);
  CloseHandle(mutex);
  return true;
}

std::string FirstArgument() {
  return __argc > 1 && __argv != nullptr && __argv[1] != nullptr ? std::string(__argv[1]) : std::string();
}

// Beside the executable, else under "Kestrani\" in the local application data.
std::string FindIniPath(const std::string& exePath) {
  const std::string beside = ReplaceExtension(exePath, ".ini");
  if (FileExists(beside)) return beside;
  return GetUserFolder(kLocalAppDataFolder, CSIDL_LOCAL_APPDATA) + "Kestrani\\" + FileNamePart(beside);
}

bool RegisterAppletClass(HINSTANCE instance) {
  WNDCLASSA windowClass{};
  windowClass.style = kClassStyle;
  windowClass.lpfnWndProc = AppletWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, "MAINICON");
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kAppletClassName;
  return RegisterClassA(&windowClass) != 0;
}

// A client area of 320 x 86, centred in the work area, topmost, and no
// taskbar button.
void PlaceWindow(HWND window) {
  RECT client{}, work{};
  GetClientRect(window, &client);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const tWindowPlacement p = PlacePreviewWindow(client.right - client.left, client.bottom - client.top,
                                                work.right, work.bottom);
  SetWindowPos(window, HWND_TOPMOST, p.Left, p.Top, p.Width, p.Height, SWP_NOACTIVATE);
  SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
}

void RunWindow(HINSTANCE instance) {
  if (!RegisterAppletClass(instance)) return;
  HWND window = CreateWindowExA(0, kAppletClassName, ProductTitle.c_str(), WS_POPUP | WS_BORDER, 0, 0,
                                kPreviewWidth, kPreviewHeight, nullptr, nullptr, instance, nullptr);
  if (window) {
    PlaceWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (IsWindow(window)) DestroyWindow(window);
  }
  UnregisterClassA(kAppletClassName, instance);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const std::string exePath = ProgramFileName();
  SearchPath = GetEnvVar("PATH");
  BuildStamp = GetLinkTime(exePath);
  AppletMessage = RegisterWindowMessageA(kAppletMutexName);
  TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
  ProductTitle = GetVersionString("ProductName") + " " + GetVersionString("FileVersion");

  if (!CloseRunningCopy()) return 0;
  if (IsStopSwitch(FirstArgument())) return 0;

  SetLastError(0);
  InstanceMutex = CreateMutexA(nullptr, TRUE, kAppletMutexName);
  if (!InstanceMutex || GetLastError() != 0) {
    if (InstanceMutex) CloseHandle(InstanceMutex);
    return 0;
  }

  IniPath = FindIniPath(exePath);
  BackgroundPath = ReplaceExtension(IniPath, ".bmp");
  SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
  RunWindow(instance);

  ReleaseMutex(InstanceMutex);
  CloseHandle(InstanceMutex);
  return 0;
}
