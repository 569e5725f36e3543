#include "applet/lcd/LcdDrawCanvas.h"

#include <algorithm>
#include <cstddef>

void TLcdCanvas::SetClip(const TLcdRect& r) {
  clip_.left = std::max(r.left, 0);
  clip_.top = std::max(r.top, 0);
  clip_.right = std::min(r.right, kLcdWidth);
  clip_.bottom = std::min(r.bottom, kLcdHeight);
}

void TLcdCanvas::InvertPixel(int x, int y) const {
  if (!Visible(x, y)) return;
  TRgb& p = frame_.px[y][x];
  p = TRgb{static_cast<uint8_t>(255 - p.b), static_cast<uint8_t>(255 - p.g), static_cast<uint8_t>(255 - p.r)};
}

void TLcdCanvas::InvertBits(int x, int y, int width, int height, const uint8_t* rows, int rowBytes) const {
  // The picture's columns and rows that fall inside the clip, worked out in
  // 64 bits so that positions far outside cannot overflow.
  if (width <= 0 || height <= 0) return;
  const long long X = x, Y = y;
  const int c0 = static_cast<int>(std::clamp<long long>(clip_.left - X, 0, width));
  const int c1 = static_cast<int>(std::clamp<long long>(clip_.right - X, 0, width));
  const int r0 = static_cast<int>(std::clamp<long long>(clip_.top - Y, 0, height));
  const int r1 = static_cast<int>(std::clamp<long long>(clip_.bottom - Y, 0, height));
  for (int r = r0; r < r1; ++r) {
    const uint8_t* bits = rows + static_cast<size_t>(r) * rowBytes;
    TRgb* line = frame_.px[y + r];
    for (int c = c0; c < c1; ++c)
      if ((bits[c >> 3] & (0x80 >> (c & 7))) == 0) {
        TRgb& p = line[x + c];
        p = TRgb{static_cast<uint8_t>(255 - p.b), static_cast<uint8_t>(255 - p.g), static_cast<uint8_t>(255 - p.r)};
      }
  }
}

void TLcdCanvas::FillRect(const TLcdRect& r, TRgb c) const {
  const int left = std::max(r.left, clip_.left), right = std::min(r.right, clip_.right);
  const int top = std::max(r.top, clip_.top), bottom = std::min(r.bottom, clip_.bottom);
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) frame_.px[y][x] = c;
}

void TLcdCanvas::FrameRect(const TLcdRect& r, TRgb c) const {
  if (r.right <= r.left || r.bottom <= r.top) return;
  FillRect({r.left, r.top, r.right, r.top + 1}, c);
  FillRect({r.left, r.bottom - 1, r.right, r.bottom}, c);
  FillRect({r.left, r.top, r.left + 1, r.bottom}, c);
  FillRect({r.right - 1, r.top, r.right, r.bottom}, c);
}
