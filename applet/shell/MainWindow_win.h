// The window procedure of "wndKestraniWinClass".
#pragma once
#include <windows.h>

LRESULT CALLBACK AppletWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
