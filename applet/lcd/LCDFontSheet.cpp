#include "applet/lcd/LCDFontSheet.h"

#include <algorithm>
#include <string>

#include "applet/lcd/LCDFont.h"

namespace {

constexpr int kMargin = 4;   // sheet pixels around and between fonts, before scaling
constexpr int kLabelWidth = 44;
constexpr TRgb kCellEdge{200, 200, 200};
constexpr TRgb kGrid{235, 235, 235};

struct TSheetFont {
  int id;
  const char* label;
};
const TSheetFont kSheetFonts[] = {
    {kFont5x7, "5x7"},     {kFont4x7, "4x7"},     {kFont5x6, "5x6"},     {kFont4x6, "4x6"},
    {kFont4x5, "4x5"},     {kFontD7x10, "D7x10"}, {kFontD7x12, "D7x12"}, {kFontD8x14, "D8x14"},
    {kFontIcons, "icons"},
};
constexpr int kGlyphsPerLine = 32;

class TSheet {
 public:
  TSheet(TRgbImage& img, int scale) : img_(img), scale_(scale) {}

  // One sheet pixel, scale x scale image pixels.
  void Put(int x, int y, TRgb c) {
    for (int dy = 0; dy < scale_; ++dy)
      for (int dx = 0; dx < scale_; ++dx) {
        const int ix = x * scale_ + dx, iy = y * scale_ + dy;
        if (ix >= 0 && ix < img_.width && iy >= 0 && iy < img_.height)
          img_.px[static_cast<size_t>(iy) * img_.width + ix] = c;
      }
  }

  // Draws a glyph with a light frame around its cell; returns the cell width.
  int Glyph(const tLCDGlyph& g, int x, int y) {
    for (int gy = -1; gy <= g.Height; ++gy)
      for (int gx = -1; gx <= g.Width; ++gx) {
        const bool edge = gy < 0 || gx < 0 || gy == g.Height || gx == g.Width;
        if (edge) Put(x + gx, y + gy, kCellEdge);
        else Put(x + gx, y + gy, g.Ink(gx, gy) ? kBlack : kWhite);
      }
    return g.Width + 1;
  }

  // A label in "5x7", drawn small (one image pixel a font pixel scaled by 2).
  void Label(const char* text, int x, int y) {
    const tLCDFont& f = GetLcdFont(kFont5x7);
    for (const char* p = text; *p; ++p) {
      const tLCDGlyph& g = f.Glyph(LcdGlyphIndex(static_cast<unsigned char>(*p)));
      for (int gy = 0; gy < g.Height; ++gy)
        for (int gx = 0; gx < g.Width; ++gx)
          if (g.Ink(gx, gy)) Put(x + gx, y + gy, kBlack);
      x += g.Width;
    }
  }

 private:
  TRgbImage& img_;
  int scale_;
};

// Lays every font out; with img == nullptr only measures.
void Layout(TRgbImage* img, int scale, int& width, int& height) {
  TRgbImage dummy;
  TSheet sheet(img ? *img : dummy, scale);
  int y = kMargin;
  width = 0;
  for (const TSheetFont& sf : kSheetFonts) {
    const tLCDFont& font = GetLcdFont(sf.id);
    if (img) sheet.Label(sf.label, kMargin, y);
    int x = kMargin + kLabelWidth, lineHeight = 8;
    for (int i = 0; i < font.Count(); ++i) {
      if (i > 0 && i % kGlyphsPerLine == 0) {
        y += lineHeight + 2;
        x = kMargin + kLabelWidth;
      }
      const tLCDGlyph& g = font.Glyph(i);
      x += img ? sheet.Glyph(g, x, y) : g.Width + 1;
      lineHeight = std::max(lineHeight, int(g.Height));
      width = std::max(width, x + kMargin);
    }
    y += lineHeight + kMargin;
  }
  height = y;
}

}  // namespace

TRgbImage RenderGlyphSheet(int scale) {
  if (scale < 1) scale = 1;
  int w = 0, h = 0;
  Layout(nullptr, scale, w, h);
  TRgbImage img;
  img.width = w * scale;
  img.height = h * scale;
  img.px.assign(static_cast<size_t>(img.width) * img.height, kWhite);
  for (int y = 0; y < img.height; ++y)  // a faint grid every sheet pixel makes pixels countable
    for (int x = 0; x < img.width; ++x)
      if (scale >= 4 && (x % scale == 0 || y % scale == 0)) img.px[static_cast<size_t>(y) * img.width + x] = kGrid;
  Layout(&img, scale, w, h);
  return img;
}
