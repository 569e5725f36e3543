// The applet's program state: the texts and handles program start prepares,
// the layout and settings read at WM_CREATE, the readers and the LCD binding
// the window owns, and the pages the renderer shows. Everything here is used
// on the GUI thread, except PageMode, which is atomic.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "applet/lcd/Bmp.h"
#include "applet/lcd/Compose.h"
#include "applet/lcd/G15Unit.h"
#include "applet/lcd/Layout.h"
#include "applet/sensors/ATIUnit.h"
#include "applet/sensors/NvUnit.h"
#include "common/CPUUnit_win.h"

// The applet's SearchPath is the "PATH" text; the system's SearchPath
// function (a macro for SearchPathA) is not used by the applet.
#undef SearchPath

// Set by program start (IniPath and ProductTitle are declared with the
// configuration file and the utilities).
extern std::string SearchPath;        // "PATH" at start
extern SYSTEMTIME BuildStamp;         // link time of the executable, local time
extern UINT AppletMessage;            // the registered close-request and tray message
extern UINT TaskbarCreatedMessage;    // "TaskbarCreated": the shell's taskbar (re)started
extern HANDLE InstanceMutex;          // owned while this copy runs
extern std::string BackgroundPath;    // IniPath with ".bmp"
extern HWND AppletWindow;             // the one window

constexpr char kAppletMutexName[] = "{34B70FAC-6CA1-4042-957C-7755DAD7881A}";
constexpr char kAppletClassName[] = "wndKestraniWinClass";

// Window timers.
constexpr UINT_PTR kRenderTimer = 1;
constexpr UINT_PTR kFadeTimer = 2;
constexpr UINT_PTR kMessageTimer = 3;
constexpr UINT kFadeInterval = 25;

// Soft-button presses handed from the LCD library's thread to the window.
constexpr UINT kLcdButtonsMessage = WM_APP + 1;

// The layout and the settings loaded with it.
extern tLcdLayout Layout;
extern tLcdSettings Settings;

// Window state.
extern uint8_t WindowAlpha;
extern bool LcdLibraryFound;
extern std::string LcdLibraryPath;  // where WM_CREATE found lgLcdWrapper.dll; the binding loads it from there
extern bool LCoreWasRunning;
extern tAdapterKind AdapterKind;
extern int32_t CpuCount;              // logical processors
extern std::vector<double> CoreLoads;  // percent per logical processor
extern std::unique_ptr<tCPUThread> CpuThread;
extern std::unique_ptr<tNvGPU> NvReader;
extern std::unique_ptr<tAtiGPU> AtiReader;
extern std::unique_ptr<TLcdG15> LcdBinding;
extern TBmpImage BackgroundImage;      // empty when no picture could be read
extern NOTIFYICONDATAA TrayRecord;
extern bool TrayIconShown;
extern bool TrayIconHiddenForLcd;      // removed by HideTrayIcon once the LCD was bound
extern bool Suspended;                 // between a suspend and the resume

// Pages.
extern std::atomic<int32_t> PageMode;  // 0..5, the pop-up page
extern std::string MessageText;        // the text of WM_COPYDATA
extern std::string ServiceText;        // where the processor figures come from

// Reading and rendering state of the tick.
extern uint32_t NextGather;
extern bool Gathered;                 // false until the first gathering
extern tRenderState RenderState;
extern uint32_t CaptureDeadline;
extern std::string CapturePath;
