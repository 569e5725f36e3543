// A glyph sheet: every glyph of every font, enlarged, one font a row, with
// the font's name beside it. For people who design layouts, and to look at
// the fonts.
#pragma once
#include <vector>

#include "applet/lcd/LcdFrame.h"

struct TRgbImage {
  int width = 0;
  int height = 0;
  std::vector<TRgb> px;  // rows from the top
};

// scale: enlargement of every pixel (1 and up).
TRgbImage RenderGlyphSheet(int scale);
