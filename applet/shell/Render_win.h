// The renderer tick: gathering once a second, composing the frame, the
// capture, the lazy LCD binding, the frame's send and the preview window.
#pragma once
#include <windows.h>

#include <cstdint>

// Has the shape of a timer procedure; only now (the tick count) is used.
// Runs on the GUI thread: from RenderTimer and directly after WM_COPYDATA.
void CALLBACK RenderTick(HWND window, UINT message, UINT_PTR timerId, DWORD now);

// A soft-button press the LCD library delivered, handled on the GUI thread:
// the page change and the one action of OnLcdButtons.
void HandleLcdButtons(HWND window, uint32_t buttons);

// Blanks the LCD, destroys the binding and lets the library go (shutdown
// and suspend).
void ReleaseLcdBinding();

// Paints the last tick's frame (WM_PAINT, between ticks).
void PaintLastFrame(HWND window, HDC dc);
