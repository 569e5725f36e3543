// The stored font tables (see LCDFontData.cpp for their byte layout).
#pragma once
#include <cstdint>

extern const uint8_t kLcdFont5x7[96][10];
extern const uint8_t kLcdFont4x7[14][10];
extern const uint8_t kLcdFont5x6[14][10];
extern const uint8_t kLcdFont4x6[14][10];
extern const uint8_t kLcdFont4x5[14][10];
extern const uint8_t kLcdFontD7x10[14][12];
extern const uint8_t kLcdFontD7x12[14][14];
extern const uint8_t kLcdFontD8x14[14][30];
extern const uint8_t kLcdFontIcons[2][71];
