// The window's start-up and shutdown: what WM_CREATE reads and creates, and
// the fixed order in which WM_CLOSE and WM_DESTROY take it down again.
#pragma once
#include <windows.h>

#include "applet/lcd/Layout.h"

// WM_CREATE. Reports a missing configuration file and asks the loop to end
// (nothing else is created then).
void StartApplet(HWND window);
// WM_CLOSE: stops the render timer and releases the item tables.
void CloseApplet(HWND window);
// WM_DESTROY: sampler, LCD binding, GPU readers, tray icon, menus, picture.
void DestroyApplet();

// The primary display adapter's maker, written to "Debug"/"DisplayDevice".
tAdapterKind DetectDisplayAdapter();
