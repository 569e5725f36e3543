#include "applet/lcd/LcdDraw.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "applet/lcd/Decimal.h"

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

namespace {

static_assert(std::numeric_limits<long double>::digits >= 64, "rates are rounded in a 64-bit mantissa");

// A rate's number and unit in fixed storage, so that a tick builds no string.
struct TRateParts {
  char number[64];
  int length;
  int unit;  // 0 B .. 5 PB; beyond PB the number goes with the B unit
};

constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB", "PB"};

// v with decimals (1 or 2) places, the text printf's "%.1f" and "%.2f" give.
// For 0 <= v < 1024 the product with 10 or 100 needs at most 58 mantissa
// bits, so in long double it is exact, and rounding it half to even is
// printf's own rounding; anything else (negative values) goes to printf.
int FormatFixed(double v, int decimals, char* out, size_t size) {
  if (std::signbit(v) || !(v < 1024.0)) {
    const int n = std::snprintf(out, size, "%.*f", decimals, v);
    std::replace(out, out + std::strlen(out), ',', '.');  // a locale's decimal comma
    return n < 0 ? 0 : std::min(n, static_cast<int>(size) - 1);
  }
  const unsigned scale = decimals == 1 ? 10 : 100;
  const long double exact = static_cast<long double>(v) * scale;
  auto k = static_cast<unsigned long long>(exact);  // below 102400: the cut and the rest are exact
  const long double rest = exact - static_cast<long double>(k);
  if (rest > 0.5L || (rest == 0.5L && (k & 1) != 0)) ++k;
  int n = WriteDecimal(k / scale, out);
  out[n++] = '.';
  const unsigned frac = static_cast<unsigned>(k % scale);
  if (decimals == 2) out[n++] = static_cast<char>('0' + frac / 10);
  out[n++] = static_cast<char>('0' + frac % 10);
  out[n] = '\0';
  return n;
}

TRateParts SplitRate(double bytesPerSecond) {
  double v = std::isfinite(bytesPerSecond) ? bytesPerSecond : 0.0;
  int n = 0;
  while (v >= 1024.0) {
    v /= 1024.0;
    ++n;
  }
  TRateParts out;
  out.length = FormatFixed(v, n > 0 ? 1 : 2, out.number, sizeof out.number);
  out.unit = n > 5 ? 0 : n;
  return out;
}

}  // namespace

size_t FormatWeekNumber(int week, char out[16]) {
  const unsigned long long magnitude = Magnitude(week);
  size_t n = 0;
  if (week < 0) out[n++] = '-';
  if (magnitude < 10) out[n++] = '0';
  n += static_cast<size_t>(WriteDecimal(magnitude, out + n));
  out[n] = '\0';
  return n;
}

TRateText FormatRate(double bytesPerSecond) {
  const TRateParts parts = SplitRate(bytesPerSecond);
  TRateText out;
  out.number.assign(parts.number, static_cast<size_t>(parts.length));
  out.separateUnit = parts.unit == 0;
  out.unit = kUnits[parts.unit];
  return out;
}

void DrawRate(TLcdFrame& frame, int fontId, int xRight, int yTop, double bytesPerSecond) {
  TRateParts rate = SplitRate(bytesPerSecond);
  const std::string_view number(rate.number, static_cast<size_t>(rate.length));
  if (rate.unit == 0) {
    DrawLcdText(&frame, fontId, xRight, "B", yTop);
    DrawLcdText(&frame, fontId, xRight < INT_MIN + 7 ? INT_MIN : xRight - 7, number, yTop);
  } else {
    // Number and unit as one text: the unit right of the number.
    const int unitLeft = DrawLcdText(&frame, fontId, xRight, kUnits[rate.unit], yTop);
    DrawLcdText(&frame, fontId, unitLeft, number, yTop);
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
      DrawLcdText(canvas, kFont5x7, r.left - 2, std::string_view(week, FormatWeekNumber(weekNumber, week)),
                  r.top + 15);
    }
  }

  canvas.SetClip({r.left + 5, r.top, r.right - 5, r.bottom});
  const int width1 = Near(MeasureLcdText(kFont5x7, line1));
  DrawLcdText(canvas, kFont5x7, r.left + 5 + width1, line1, r.top + 5);
  DrawLcdText(canvas, line2Font, r.right - 5, line2, r.top + 15);
}
