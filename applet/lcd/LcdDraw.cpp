#include "applet/lcd/LcdDraw.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace {

// Keeps computed bar edges far inside int range; anything this far out is
// clipped away by the canvas anyway.
constexpr long long kFar = 1 << 20;
int Near(long long v) { return static_cast<int>(std::clamp(v, -kFar, kFar)); }

}  // namespace

void DrawBar(TLcdFrame& frame, int x, int y, int length, int thickness, int style, int percent,
             bool invert) {
  if (style == 1) style = kBarRight;
  const double exact = std::nearbyint(length / 100.0 * percent);
  const long long size = static_cast<long long>(std::clamp(exact, -double(kFar), double(kFar)));
  if (size <= 0 || thickness <= 0) return;
  const long long X = x, Y = y, L = length, T = thickness;
  long long left, top, right, bottom;
  switch (style) {
    case kBarUp: left = X, right = X + T, top = Y - size + 1, bottom = Y + 1; break;
    case kBarDown: left = X, right = X + T, top = Y - L + 1, bottom = Y - L + 1 + size; break;
    case kBarRight: left = X, right = X + size, top = Y - T + 1, bottom = Y + 1; break;
    case kBarLeft: left = X + L - size, right = X + L, top = Y - T + 1, bottom = Y + 1; break;
    default: return;
  }
  TLcdCanvas(frame).FillRect({Near(left), Near(top), Near(right), Near(bottom)}, invert ? kWhite : kBlack);
}

TRateText FormatRate(double bytesPerSecond) {
  static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB", "PB"};
  double v = std::isfinite(bytesPerSecond) ? bytesPerSecond : 0.0;
  int n = 0;
  while (v >= 1024.0) {
    v /= 1024.0;
    ++n;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, n > 0 ? "%.1f" : "%.2f", v);
  TRateText out;
  out.number = buf;
  std::replace(out.number.begin(), out.number.end(), ',', '.');
  out.separateUnit = n == 0 || n > 5;
  out.unit = out.separateUnit ? "B" : kUnits[n];
  return out;
}

void DrawRate(TLcdFrame& frame, int fontId, int xRight, int yTop, double bytesPerSecond) {
  const TRateText rate = FormatRate(bytesPerSecond);
  if (rate.separateUnit) {
    DrawLcdText(&frame, fontId, xRight, "B", yTop);
    DrawLcdText(&frame, fontId, xRight < INT_MIN + 7 ? INT_MIN : xRight - 7, rate.number, yTop);
  } else {
    char text[80];
    std::snprintf(text, sizeof text, "%s%s", rate.number.c_str(), rate.unit);
    DrawLcdText(&frame, fontId, xRight, text, yTop);
  }
}

TLcdRect PopupRect(int width, int height) {
  // Widened on each side by half the difference to the frame, truncated
  // toward zero; sizes far beyond the frame only make a bigger box.
  const long long dx = (std::clamp<long long>(width, -kFar, kFar) - kLcdWidth) / 2;
  const long long dy = (std::clamp<long long>(height, -kFar, kFar) - kLcdHeight) / 2;
  return {Near(-dx), Near(-dy), Near(kLcdWidth + dx), Near(kLcdHeight + dy)};
}

void DrawPopup(TLcdFrame& frame, int width, int height, int line2Font, int icon,
               std::string_view line2, std::string_view line1, int weekNumber) {
  TLcdRect r = PopupRect(width, height);
  TLcdCanvas canvas(frame);
  canvas.FillRect(r, kWhite);
  canvas.FrameRect(r, kBlack);

  if (icon == kPopupBell || icon == kPopupWeekBadge) {
    const char glyph = icon == kPopupBell ? kIconBell : kIconWeekBadge;
    const std::string_view text(&glyph, 1);
    const int w = MeasureLcdText(kFontIcons, text);
    DrawLcdText(canvas, kFontIcons, r.left + 2 + w, text, r.top + 2);
    r.left += w;
    if (icon == kPopupWeekBadge) {
      char week[16];
      std::snprintf(week, sizeof week, "%.2d", weekNumber);
      DrawLcdText(canvas, kFont5x7, r.left - 2, week, r.top + 15);
    }
  }

  canvas.SetClip({r.left + 5, r.top, r.right - 5, r.bottom});
  const int width1 = Near(MeasureLcdText(kFont5x7, line1));
  DrawLcdText(canvas, kFont5x7, r.left + 5 + width1, line1, r.top + 5);
  DrawLcdText(canvas, line2Font, r.right - 5, line2, r.top + 15);
}
