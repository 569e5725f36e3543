// The tray icon's record and the tray menu with its "Network" submenu.
#pragma once
#include <windows.h>

// The menus of the latest build; only that pair is alive.
extern HMENU TrayMenu;
extern HMENU NetworkMenu;

// Rebuilds both menus (and the menu pictures) from the current settings,
// the interface table and the window's visibility. While ShowTrayMenu shows
// the menu, the rebuild waits until the menu has closed.
void BuildTrayMenu(HWND window, HICON icon);
// Destroys the menus and the pictures of the last build; while the menu
// shows, it is closed and destroyed once ShowTrayMenu has returned.
void DestroyTrayMenu();

// Fills TrayRecord for window with the small "MAINICON" and the build tip.
void FillTrayRecord(HWND window);
// NIM_ADD and NIM_DELETE of TrayRecord; the delete happens at most once.
void AddTrayIcon();
void DeleteTrayIcon();
// The delete HideTrayIcon asks for once the LCD is bound: the icon stays
// away for the rest of the run.
void HideTrayIconForLcd();
// The shell's taskbar was (re)created, e.g. after Explorer restarted: the
// icon is added again with the same record, unless it was hidden for the LCD.
void RestoreTrayIcon();

// Shows TrayMenu at the cursor, owned by window, and returns when it closes.
void ShowTrayMenu(HWND window);
