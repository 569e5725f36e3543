// The display elements' drawing: bars, network rates and the pop-up pages.
// All texts are single-byte Windows-1252 strings; the degree sign is 176.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "applet/lcd/LCDFont.h"

// Bar styles: the direction of growth.
enum : int {
  kBarUp = 0,       // vertical, bottom row y, grows upward
  kBarRight = 90,   // horizontal, from column x to the right (style 1 is the same)
  kBarDown = 180,   // vertical, hangs from the top of the area
  kBarLeft = 270,   // horizontal, from the right end of the area to the left
};

// One bar: (x, y) is the configured column and the bottom row of the bar's
// area, length the full-scale size along the direction of growth, thickness
// the size across it. The bar covers round(length / 100 * percent) pixels
// (halves to even; percent is not clamped) and paints them black, or white
// when invert is on. Unknown styles, and bars of no size, draw nothing.
void DrawBar(TLcdFrame& frame, int x, int y, int length, int thickness, int style, int percent,
             bool invert);

// A network rate split into its number and unit: "1.5" and "KB", or
// "512.00" and "B" below 1024 bytes per second. The number always carries a
// point; a rate that is not a finite number shows as 0.
struct TRateText {
  std::string number;
  const char* unit = "B";
  bool separateUnit = true;  // the "B" unit is drawn apart, at xRight
};
TRateText FormatRate(double bytesPerSecond);

// Draws a rate at a text item's place (xRight is the item's right edge, yTop
// its top row): "1.5KB" as one text; below 1 KB the number right-aligned at
// xRight - 7 and the letter "B" at xRight.
void DrawRate(TLcdFrame& frame, int fontId, int xRight, int yTop, double bytesPerSecond);

// The text of a week number, at least two digits ("07", "53", "-05");
// returns its length.
size_t FormatWeekNumber(int week, char out[16]);

// Pop-up icons.
enum : int {
  kPopupNoIcon = -1,
  kPopupBell = 0,      // the alarm
  kPopupWeekBadge = 1  // the date page; shows weekNumber on the badge
};

// The pop-up rectangle of a width x height pop-up, centred in the frame:
// 140 x 26 is (10, 8, 150, 35), 140 x 30 is (10, 6, 150, 37).
TLcdRect PopupRect(int width, int height);

// Draws one pop-up: a white box with a black edge, the icon at its left,
// line 1 in "5x7" left-aligned on top, line 2 in line2Font right-aligned
// below; text that does not fit is cut 5 pixels inside the box.
void DrawPopup(TLcdFrame& frame, int width, int height, int line2Font, int icon,
               std::string_view line2, std::string_view line1, int weekNumber = 0);
