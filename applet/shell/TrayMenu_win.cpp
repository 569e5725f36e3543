#include "applet/shell/TrayMenu_win.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "applet/sensors/NetMeter_win.h"
#include "applet/shell/Applet_win.h"
#include "applet/shell/Config_win.h"
#include "applet/shell/ShellRules.h"
#include "applet/shell/SysUtils_win.h"
#include "applet/shell/WindowRules.h"

HMENU TrayMenu = nullptr;
HMENU NetworkMenu = nullptr;

namespace {

constexpr int kConfigurationWidth = 150;

// The records in the sizes the 32-bit program hands the system.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "tray record");
static_assert(sizeof(MENUITEMINFOA) == 48, "menu item record");
#endif

// The pictures the current TrayMenu shows; released with the next build,
// since menus do not own the bitmaps of their items.
HBITMAP ConfigurationPicture = nullptr;
HBITMAP CheckedPicture = nullptr;
HBITMAP UncheckedPicture = nullptr;

// While TrackPopupMenu shows TrayMenu, a rebuild or the destruction that is
// asked for (by a command another program sends, a soft button or the
// window's end) waits until the menu has closed: the open menu is never
// destroyed under the user.
bool MenuShowing = false;
bool RebuildDue = false;
bool DestroyDue = false;
HWND DueWindow = nullptr;
HICON DueIcon = nullptr;

void ReleasePictures() {
  for (HBITMAP* picture : {&ConfigurationPicture, &CheckedPicture, &UncheckedPicture}) {
    if (*picture) DeleteObject(*picture);
    *picture = nullptr;
  }
}

// Removes the items (so that a submenu still attached is not destroyed
// with its parent) and destroys the menu.
void ClearMenu(HMENU& menu) {
  if (!menu) return;
  while (GetMenuItemCount(menu) > 0 && RemoveMenu(menu, 0, MF_BYPOSITION)) {
  }
  DestroyMenu(menu);
  menu = nullptr;
}

// "Configuration" over the shortened INI path in grey, width pixels wide.
HBITMAP MakeMenuItemBitmap(const char* caption, const std::string& path, int width) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = nullptr;
  if (dc) {
    const int height = 2 * MenuTextExtent("X", dc);
    bitmap = CreateCompatibleBitmap(screen, width, height);
    if (bitmap) {
      HGDIOBJ old = SelectObject(dc, bitmap);
      RECT all{0, 0, width, height};
      FillRect(dc, &all, GetSysColorBrush(COLOR_MENU));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, GetSysColor(COLOR_MENUTEXT));
      DrawMenuText(dc, 0, 0, caption);
      SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
      const std::string shortPath = CompactPath(dc, path, width);
      DrawMenuText(dc, 0, height / 2, shortPath.c_str());
      SelectObject(dc, old);
    }
    DeleteDC(dc);
  }
  ReleaseDC(nullptr, screen);
  return bitmap;
}

// The icon drawn on a screen-compatible bitmap of its size; none when the
// icon cannot be read.
HBITMAP IconToBitmap(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return nullptr;
  // GetIconInfo hands out copies of the icon's bitmaps; the caller frees them.
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  const int width = static_cast<int>(info.xHotspot) * 2;
  const int height = static_cast<int>(info.yHotspot) * 2;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = dc ? CreateCompatibleBitmap(screen, width, height) : nullptr;
  if (bitmap) {
    HGDIOBJ old = SelectObject(dc, bitmap);
    DrawIconEx(dc, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
    SelectObject(dc, old);
  }
  if (dc) DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

void SetItemState(HMENU menu, UINT id, bool checked) {
  MENUITEMINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_STATE;
  info.fState = checked ? MFS_CHECKED : MFS_UNCHECKED;
  SetMenuItemInfoA(menu, id, FALSE, &info);
}

void BuildNetworkMenu() {
  ClearMenu(NetworkMenu);
  NetworkMenu = CreatePopupMenu();
  if (!NetworkMenu) return;
  TMIBIfArray table;
  GetInterfaceTable(table);
  std::vector<tInterfaceRow> rows;
  rows.reserve(table.size());
  for (const MIB_IFROW& row : table) {
    const size_t length = strnlen(reinterpret_cast<const char*>(row.bDescr),
                                  row.dwDescrLen < MAXLEN_IFDESCR ? row.dwDescrLen : MAXLEN_IFDESCR);
    rows.push_back({row.dwType, row.dwIndex, std::string(reinterpret_cast<const char*>(row.bDescr), length)});
  }
  for (const tNetworkMenuItem& item : NetworkMenuItems(rows, NetworkIndex)) {
    AppendMenuA(NetworkMenu, MF_STRING, item.Id, item.Text.c_str());
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE | MIIM_DATA;
    info.fState = item.Checked ? MFS_CHECKED : MFS_UNCHECKED;
    info.dwItemData = item.Index;
    SetMenuItemInfoA(NetworkMenu, item.Id, FALSE, &info);
  }
}

}  // namespace

void BuildTrayMenu(HWND window, HICON icon) {
  if (MenuShowing) {
    RebuildDue = true;
    DueWindow = window;
    DueIcon = icon;
    return;
  }
  BuildNetworkMenu();
  ClearMenu(TrayMenu);
  ReleasePictures();
  TrayMenu = CreatePopupMenu();
  if (!TrayMenu) return;

  ConfigurationPicture = MakeMenuItemBitmap("Configuration", IniPath, kConfigurationWidth);
  CheckedPicture = IconToBitmap(icon);
  UncheckedPicture = IconToBitmap(icon);
  AppendMenuA(TrayMenu, MF_BITMAP, kCmdConfiguration, reinterpret_cast<LPCSTR>(ConfigurationPicture));
  SetMenuItemBitmaps(TrayMenu, kCmdConfiguration, MF_BYCOMMAND, UncheckedPicture, CheckedPicture);
  AppendMenuA(TrayMenu, MF_SEPARATOR, 0, nullptr);
  if (NetworkMenu && GetMenuItemCount(NetworkMenu) > 0)
    AppendMenuA(TrayMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(NetworkMenu), "Network");
  AppendMenuA(TrayMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(TrayMenu, MF_STRING, kCmdFahrenheit, "Fahrenheit");
  AppendMenuA(TrayMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(TrayMenu, MF_STRING, kCmdShowWindow, "Show Window");
  AppendMenuA(TrayMenu, MF_STRING, kCmdInvert, "LCD Invert");
  AppendMenuA(TrayMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(TrayMenu, MF_STRING, kCmdRestart, "Restart");
  AppendMenuA(TrayMenu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(TrayMenu, MF_STRING, kCmdExit, "Exit");

  SetItemState(TrayMenu, kCmdInvert, Settings.DoInvert);
  SetItemState(TrayMenu, kCmdShowWindow, window && IsWindowVisible(window));
  SetItemState(TrayMenu, kCmdFahrenheit, Settings.Fahrenheit);
}

void DestroyTrayMenu() {
  if (MenuShowing) {
    DestroyDue = true;
    EndMenu();
    return;
  }
  ClearMenu(NetworkMenu);
  ClearMenu(TrayMenu);
  ReleasePictures();
}

void FillTrayRecord(HWND window) {
  TrayRecord = {};
  TrayRecord.cbSize = NOTIFYICONDATAA_V1_SIZE;
  TrayRecord.hWnd = window;
  TrayRecord.uID = AppletMessage;
  TrayRecord.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  TrayRecord.uCallbackMessage = AppletMessage;
  TrayRecord.hIcon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  const std::string tip = TrayTipText(ProductTitle, FormatLocalDate(BuildStamp, "yyyyMMdd"),
                                      FormatLocalTime(BuildStamp, "HHmm.ss"));
  const size_t length = tip.size() < sizeof TrayRecord.szTip - 1 ? tip.size() : sizeof TrayRecord.szTip - 1;
  std::memcpy(TrayRecord.szTip, tip.data(), length);
  TrayRecord.szTip[length] = '\0';
}

void AddTrayIcon() {
  TrayIconShown = Shell_NotifyIconA(NIM_ADD, &TrayRecord) != FALSE;
}

void DeleteTrayIcon() {
  if (!TrayIconShown) return;
  Shell_NotifyIconA(NIM_DELETE, &TrayRecord);
  TrayIconShown = false;
}

void HideTrayIconForLcd() {
  DeleteTrayIcon();
  TrayIconHiddenForLcd = true;
}

void RestoreTrayIcon() {
  if (TrayIconHiddenForLcd || TrayRecord.hWnd == nullptr) return;
  // A taskbar that still holds the icon refuses a second add; the icon is
  // there all the same.
  TrayIconShown = Shell_NotifyIconA(NIM_ADD, &TrayRecord) != FALSE ||
                  Shell_NotifyIconA(NIM_MODIFY, &TrayRecord) != FALSE;
}

void ShowTrayMenu(HWND window) {
  // A second request while the menu shows finds it open; the system refuses
  // a second menu anyway.
  if (MenuShowing) return;
  POINT cursor{};
  GetCursorPos(&cursor);
  SetForegroundWindow(window);
  MenuShowing = true;
  TrackPopupMenu(TrayMenu, TPM_RIGHTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
  MenuShowing = false;
  if (DestroyDue) {
    DestroyDue = RebuildDue = false;
    DestroyTrayMenu();
  } else if (RebuildDue) {
    RebuildDue = false;
    BuildTrayMenu(DueWindow, DueIcon);
  }
}
