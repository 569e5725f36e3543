// The main window's decisions, free of the platform: what a message from the
// tray icon or a newer copy asks for, the message page of WM_COPYDATA, the
// fade-in, the power-event groups and the LCore restart, the placement of
// the preview window and the rows of the "Network" menu.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Command identifiers of the tray menu (low word of WM_COMMAND's wParam).
enum : uint32_t {
  kCmdExit = 1000,
  kCmdInvert = 1001,
  kCmdShowWindow = 1002,
  kCmdFahrenheit = 1003,
  kCmdRestart = 1004,
  kCmdConfiguration = 1008,
  kCmdNetworkFirst = 1100,  // + the row's position in the interface table
};

constexpr uint8_t kInactiveAlpha = 150;  // opacity while another window is active

// What the applet's registered message asks for, by its lParam.
enum tAppletRequest { kRequestNothing, kRequestClose, kRequestToggleWindow, kRequestTrayMenu };

// lParam 16 is a newer copy's close request (ignored when it carries our own
// process id), 514 and 517 are the tray icon's left and right button-ups.
tAppletRequest AppletMessageRequest(uintptr_t wParam, intptr_t lParam, uint32_t ownProcessId);

// The message page after a WM_COPYDATA with this display time: 0 leaves the
// page (page 0), anything else selects page 5; a time above 1 also (re)starts
// the message timer with that interval.
struct tMessagePage {
  int32_t PageMode;
  bool StartTimer;
  uint32_t Interval;
};
tMessagePage MessagePageFor(uintptr_t displayTime);

// The page after the message timer expired: 5 becomes 0, others stay.
inline int32_t PageAfterMessageTimer(int32_t pageMode) { return pageMode == 5 ? 0 : pageMode; }

// One step of the fade-in: while the window is visible and alpha is below
// 250 it grows by 10 and true is returned; otherwise false (stop the timer).
bool FadeStep(bool visible, uint8_t& alpha);

// Power notifications (WM_POWERBROADCAST's wParam).
enum tPowerGroup { kPowerOther, kPowerSuspend, kPowerResume };
tPowerGroup PowerEventGroup(uintptr_t event);

// After a resume LCore.exe is started again only when we closed it at the
// suspend and it is not running now.
inline bool LCoreRestartDue(bool closedAtSuspend, bool runningNow) { return closedAtSuspend && !runningNow; }

// The outer rectangle that gives a client area of 320 x 86, centred in the
// work area (each edge halved toward zero). The window is created 320 x 86,
// so the border is 320 - clientWidth wide in all.
struct tWindowPlacement {
  int32_t Left, Top, Width, Height;
};
tWindowPlacement PlacePreviewWindow(int32_t clientWidth, int32_t clientHeight, int32_t workRight,
                                    int32_t workBottom);

constexpr int32_t kPreviewWidth = 320;
constexpr int32_t kPreviewHeight = 86;

// One interface row as the menu needs it.
struct tInterfaceRow {
  uint32_t Type;   // IF_TYPE_* of the row
  uint32_t Index;  // the row's interface index
  std::string Description;
};

// One item of the "Network" menu: Ethernet (6) and wireless (71) rows only,
// the id counting every row of the table so that ids may have gaps.
struct tNetworkMenuItem {
  uint32_t Id;
  uint32_t Index;
  std::string Text;
  bool Checked;
};
std::vector<tNetworkMenuItem> NetworkMenuItems(const std::vector<tInterfaceRow>& rows, uint32_t selected);

// path with the extension after its last separator replaced by extension
// (".ini"); appended when the file name has none.
std::string ReplaceExtension(const std::string& path, const std::string& extension);
// The text after the last "\" or "/"; the whole path when there is none.
std::string FileNamePart(const std::string& path);
// The folder part with its trailing separator; empty when there is none.
std::string FolderPart(const std::string& path);

// Where the applet looks for an outside library ("lgLcdWrapper.dll", the
// driver library), in order: the program's folder, then the system folder.
// Nothing else: the applet may run elevated, and the current directory or a
// PATH folder that users may write would let them run code with its rights.
// Each entry is a full file name; an empty folder gives no entry.
std::vector<std::string> LibraryCandidates(const std::string& programFolder, const std::string& systemFolder,
                                           const std::string& fileName);

// A suspend remembers that LCore.exe was running (and is being closed) until
// the resume: a query and the suspend that follows it count as one standby.
inline bool LCoreClosedAtSuspend(bool closedBefore, bool runningNow) { return closedBefore || runningNow; }

// A folder text from the known-folder lookup names a folder only when it is
// more than a lone separator (its form when the lookup failed).
bool IsResolvedFolder(const std::string& folder);
