// Bilinear enlargement of the LCD frame for the preview window, in 16.16
// fixed point, into a plain 24-bit buffer (a top-down DIB section's bits).
#pragma once
#include <cstddef>
#include <cstdint>

#include "applet/lcd/LcdFrame.h"

// a * b / c rounded to the nearest integer, halves away from zero, with a
// 64-bit intermediate; -1 when c is 0 (as the Windows call).
int32_t MulDivRound(int32_t a, int32_t b, int32_t c);

// Source of sw x sh pixels (rows of sw TRgb), destination of dw x dh pixels
// with dstStride bytes per row (at least dw * 3). Sizes below 1 draw nothing;
// a destination of one column or row samples the first source column or row.
void StretchPixels(const TRgb* src, int sw, int sh, uint8_t* dst, int dw, int dh, size_t dstStride);

// The frame enlarged to dw x dh (the preview window's client area).
void StretchFrame(const TLcdFrame& frame, uint8_t* dst, int dw, int dh, size_t dstStride);
