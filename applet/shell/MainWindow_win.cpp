#include "applet/shell/MainWindow_win.h"

#include <mmsystem.h>
#include <shellapi.h>

#include "applet/sensors/NetMeter_win.h"
#include "applet/shell/Applet_win.h"
#include "applet/shell/Config_win.h"
#include "applet/shell/Render_win.h"
#include "applet/shell/ShellRules.h"
#include "applet/shell/Startup_win.h"
#include "applet/shell/SysUtils_win.h"
#include "applet/shell/Tick.h"
#include "applet/shell/TrayMenu_win.h"
#include "applet/shell/WindowRules.h"

namespace {

constexpr char kLCoreName[] = "LCore.exe";

void SetWindowAlpha(HWND window, uint8_t alpha) {
  SetWindowLongA(window, GWL_EXSTYLE, GetWindowLongA(window, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(window, 0, alpha, LWA_ALPHA);
}

void CALLBACK FadeTick(HWND window, UINT, UINT_PTR, DWORD) {
  if (FadeStep(IsWindowVisible(window) != FALSE, WindowAlpha))
    SetWindowAlpha(window, WindowAlpha);
  else
    KillTimer(window, kFadeTimer);
}

void CALLBACK MessageTick(HWND window, UINT, UINT_PTR, DWORD) {
  PageMode.store(PageAfterMessageTimer(PageMode.load()));
  KillTimer(window, kMessageTimer);
}

// Shows the hidden window with a fade-in, or hides the visible one.
void ToggleWindow(HWND window) {
  WindowAlpha = 0;
  SetWindowAlpha(window, 0);
  if (IsWindowVisible(window)) {
    ShowWindow(window, SW_HIDE);
  } else {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    SetTimer(window, kFadeTimer, kFadeInterval, FadeTick);
  }
}

// A chosen "Network" entry: its item data is the interface index.
void ChooseNetwork(HWND window, UINT id) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STATE | MIIM_DATA;
  if (!NetworkMenu || !GetMenuItemInfoA(NetworkMenu, id, FALSE, &info)) {
    PlaySoundA("SYSTEMEXCLAMATION", nullptr, SND_ALIAS | SND_ASYNC);
    return;
  }
  SelectNetworkInterface(static_cast<uint32_t>(info.dwItemData));
  Settings.NetworkIndex = static_cast<int32_t>(NetworkIndex);
  BuildTrayMenu(window, TrayRecord.hIcon);
  WriteIniInteger("NetWork", "Index", static_cast<int>(NetworkIndex));
}

// Tray menu commands, LCD button 1 and Escape; the menu is rebuilt after
// each one so that its check marks and network list are current.
void OnCommand(HWND window, UINT id) {
  switch (id) {
    case kCmdExit:
      SendMessageA(window, WM_CLOSE, 0, 0);
      break;
    case kCmdInvert:
      Settings.DoInvert = !Settings.DoInvert;
      WriteIniInteger("Common", "DoInvert", Settings.DoInvert ? 1 : 0);
      break;
    case kCmdShowWindow:
      ToggleWindow(window);
      break;
    case kCmdFahrenheit:
      Settings.Fahrenheit = !Settings.Fahrenheit;
      WriteIniInteger("Common", "Fahrenheit", Settings.Fahrenheit ? 1 : 0);
      break;
    case kCmdRestart:
      ShellExecuteA(nullptr, nullptr, ProgramFileName().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      break;
    case kCmdConfiguration:
      ShellExecuteA(nullptr, "open", IniPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      break;
    default:
      if (id >= kCmdNetworkFirst) ChooseNetwork(window, id);
      break;
  }
  // After "Exit" the window and its menus are gone.
  if (IsWindow(window)) BuildTrayMenu(window, TrayRecord.hIcon);
}

// Another program's text for the LCD's message page.
void OnCopyData(HWND window, const COPYDATASTRUCT* data) {
  if (!data) return;
  MessageText = CopyDataText(data->lpData, data->cbData);
  const tMessagePage page = MessagePageFor(data->dwData);
  PageMode.store(page.PageMode);
  if (page.StartTimer)
    SetTimer(window, kMessageTimer, page.Interval, MessageTick);
  else
    KillTimer(window, kMessageTimer);  // a timer of an earlier text must not end this one
  RenderTick(window, WM_TIMER, kRenderTimer, GetTickCount());
}

void OnActivate(HWND window, WPARAM wParam) {
  if (LOWORD(wParam) != WA_INACTIVE) {
    SetWindowAlpha(window, WindowAlpha);
  } else {
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowAlpha(window, kInactiveAlpha);
  }
}

// The tray icon's clicks and a newer copy's close request.
void OnAppletMessage(HWND window, WPARAM wParam, LPARAM lParam) {
  switch (AppletMessageRequest(wParam, lParam, GetCurrentProcessId())) {
    case kRequestClose:
      SendMessageA(window, WM_CLOSE, 0, 0);
      break;
    case kRequestToggleWindow:
      SendMessageA(window, WM_COMMAND, kCmdShowWindow, 0);
      break;
    case kRequestTrayMenu:
      ReplyMessage(0);
      ShowTrayMenu(window);
      break;
    case kRequestNothing:
      break;
  }
}

// Standby: the LCD and LCore.exe are let go, and taken up again afterwards.
void OnPowerBroadcast(HWND window, WPARAM event) {
  const tPowerGroup group = PowerEventGroup(event);
  if (group == kPowerSuspend) {
    Suspended = true;
    KillTimer(window, kRenderTimer);
    ReleaseLcdBinding();
    if (FileExists(Settings.LCorePath)) {
      const DWORD lcore = FindProcess(kLCoreName);
      LCoreWasRunning = LCoreClosedAtSuspend(LCoreWasRunning, lcore != 0);
      if (lcore != 0) CloseProcessWindows(lcore);
    }
  } else if (group == kPowerResume) {
    if (FileExists(Settings.LCorePath)) {
      if (LCoreRestartDue(LCoreWasRunning, FindProcess(kLCoreName) != 0))
        ShellExecuteA(nullptr, nullptr, Settings.LCorePath.c_str(), "/minimized", nullptr, SW_SHOWNORMAL);
      LCoreWasRunning = false;
    }
    Suspended = false;
    SetTimer(window, kRenderTimer, kRenderInterval, RenderTick);
  }
}

void OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (dc) PaintLastFrame(window, dc);
  EndPaint(window, &paint);
}

}  // namespace

LRESULT CALLBACK AppletWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == AppletMessage && AppletMessage != 0) {
    OnAppletMessage(window, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  if (message == TaskbarCreatedMessage && TaskbarCreatedMessage != 0) {
    RestoreTrayIcon();
    return DefWindowProcA(window, message, wParam, lParam);
  }
  switch (message) {
    case WM_CREATE:
      StartApplet(window);
      break;
    case WM_CLOSE:
      CloseApplet(window);
      break;
    case WM_DESTROY:
      DestroyApplet();
      break;
    case WM_QUERYENDSESSION:
      // The applet closes and lets the session end: after the close the
      // window is gone, and the default answer for it would veto the end.
      SendMessageA(window, WM_CLOSE, 0, 0);
      return TRUE;
    case WM_ACTIVATE:
      OnActivate(window, wParam);
      break;
    case WM_COPYDATA:
      OnCopyData(window, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
      break;
    case WM_COMMAND:
      OnCommand(window, LOWORD(wParam));
      break;
    case WM_LBUTTONDOWN:
      // Drags the borderless window by its client area.
      ReleaseCapture();
      SendMessageA(window, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
      break;
    case WM_RBUTTONUP:
      SendMessageA(window, AppletMessage, 0, WM_RBUTTONUP);
      break;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) SendMessageA(window, WM_COMMAND, kCmdShowWindow, 0);
      break;
    case WM_POWERBROADCAST:
      OnPowerBroadcast(window, wParam);
      break;
    case WM_PAINT:
      OnPaint(window);
      break;
    case kLcdButtonsMessage:
      HandleLcdButtons(window, static_cast<uint32_t>(wParam));
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
