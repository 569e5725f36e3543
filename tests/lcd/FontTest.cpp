#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "applet/lcd/LCDFont.h"

namespace {

std::vector<uint8_t> StoredRows(int fontId, int index) {
  const tLCDGlyph& g = GetLcdFont(fontId).Glyph(index);
  return std::vector<uint8_t>(g.Image, g.Image + g.RowBytes * g.Height);
}

TLcdFrame WhiteFrame() {
  TLcdFrame f;
  f.FillAll(kWhite);
  return f;
}

// The bounding box of pixels that differ between two frames.
struct TBox {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
};
TBox Changed(const TLcdFrame& a, const TLcdFrame& b) {
  TBox box;
  for (int y = 0; y < kLcdHeight; ++y)
    for (int x = 0; x < kLcdWidth; ++x)
      if (a.px[y][x] != b.px[y][x]) {
        box.left = std::min(box.left, x), box.right = std::max(box.right, x);
        box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
      }
  return box;
}

}  // namespace

TEST(LcdFont, TellingGlyphsHaveTheirStoredBytes) {
  struct Case {
    int font;
    char ch;
    int width, height;
    std::vector<uint8_t> rows;
  };
  const Case cases[] = {
      {kFont4x5, '0', 5, 6, {0xC8, 0xB0, 0xB0, 0xB0, 0xC8, 0xF8}},
      {kFont5x7, 'A', 6, 8, {0xC4, 0xB8, 0xB8, 0xB8, 0x80, 0xB8, 0xB8, 0xFC}},
      {kFont5x7, '\xb0', 4, 8, {0xDC, 0xAC, 0xDC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC}},
      {kFont5x6, '0', 6, 8, {0xFC, 0xC4, 0xB8, 0xA8, 0xA8, 0xB8, 0xC4, 0xFC}},
      {kFontD7x10, '8', 8, 10, {0xC1, 0xA2, 0x9C, 0x9C, 0xA2, 0xA2, 0x9C, 0x9C, 0xA2, 0xC1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(LcdFontName(c.font)) + " '" + c.ch + "'");
    const int index = LcdGlyphIndex(static_cast<unsigned char>(c.ch));
    const tLCDGlyph& g = GetLcdFont(c.font).Glyph(index);
    EXPECT_EQ(g.Width, c.width);
    EXPECT_EQ(g.Height, c.height);
    EXPECT_EQ(StoredRows(c.font, index), c.rows);
  }
  // The 4x5 zero's entry ends in two zero bytes beyond its six rows.
  const tLCDGlyph& zero = GetLcdFont(kFont4x5).Glyph(0);
  EXPECT_EQ(zero.Image[6], 0);
  EXPECT_EQ(zero.Image[7], 0);
}

TEST(LcdFont, GlyphCountsSizesAndSpacingColumn) {
  struct Case {
    int font, count, digitWidth, punctWidth, height;
  };
  const Case cases[] = {
      {kFont4x7, 14, 5, 2, 8},  {kFont5x6, 14, 6, 3, 8},    {kFont4x6, 14, 5, 2, 7},
      {kFont4x5, 14, 5, 2, 6},  {kFontD7x10, 14, 8, 3, 10}, {kFontD7x12, 14, 8, 3, 12},
      {kFontD8x14, 14, 9, 3, 14}, {kFont5x7, 96, 6, 3, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(LcdFontName(c.font));
    const tLCDFont& f = GetLcdFont(c.font);
    ASSERT_EQ(f.Count(), c.count);
    for (int i = 0; i < c.count; ++i) {
      const tLCDGlyph& g = f.Glyph(i);
      SCOPED_TRACE(i);
      if (i < 14) {
        EXPECT_EQ(g.Width, (i <= 9 || i == 11) ? c.digitWidth : c.punctWidth);
      }
      EXPECT_EQ(g.Height, c.height);
      for (int y = 0; y < g.Height; ++y) EXPECT_FALSE(g.Ink(0, y)) << "ink in the spacing column";
    }
  }
  // Digit fonts keep their blank rows: the last for all small ones, the
  // first as well for "5x6", whose digits sit in rows 1..6.
  for (int font : {kFont4x7, kFont5x6, kFont4x6, kFont4x5})
    for (int d = 0; d <= 9; ++d) {
      const tLCDGlyph& g = GetLcdFont(font).Glyph(d);
      for (int x = 0; x < g.Width; ++x) {
        EXPECT_FALSE(g.Ink(x, g.Height - 1)) << LcdFontName(font) << " digit " << d;
        if (font == kFont5x6) {
          EXPECT_FALSE(g.Ink(x, 0)) << "5x6 digit " << d;
        }
      }
    }
}

TEST(LcdFont, Font0WidthsFollowTheCharacterClasses) {
  auto expected = [](unsigned char c) {
    const std::string five = "-<>~", four = "\"()[]^{}\xb0", three = ":,.;'`", two = "!|";
    if (five.find(c) != std::string::npos) return 5;
    if (four.find(c) != std::string::npos) return 4;
    if (three.find(c) != std::string::npos) return 3;
    if (two.find(c) != std::string::npos) return 2;
    return 6;
  };
  for (int c = 32; c <= 126; ++c)
    EXPECT_EQ(MeasureLcdText(kFont5x7, std::string(1, char(c))), expected(c)) << "byte " << c;
  EXPECT_EQ(MeasureLcdText(kFont5x7, "\xb0"), 4);
  EXPECT_EQ(MeasureLcdText(kFont5x7, "\x7f"), 4);  // 127 shares the degree sign
}

TEST(LcdFont, GlyphIndexOfEveryByte) {
  const std::pair<int, int> fixed[] = {{0, 0},   {1, 1},   {'0', 0},  {'9', 9},   {':', 10},
                                       {' ', 11}, {',', 12}, {'.', 13}, {'!', 14},  {'+', 24},
                                       {'-', 25}, {'/', 26}, {';', 27}, {'A', 33},  {'~', 94},
                                       {127, 95}, {176, 95}};
  for (auto [byte, index] : fixed) EXPECT_EQ(LcdGlyphIndex(byte), index) << "byte " << byte;
  for (int b = 2; b < 256; ++b) {
    if (b >= 32 && b <= 127) continue;
    if (b == 176) continue;
    EXPECT_EQ(LcdGlyphIndex(b), 11) << "byte " << b;
  }
  // And so such bytes draw as blank space of the font's space width.
  for (const char* s : {"\x05", "\x1f", "\x80", "\xff", "\xb1"})
    for (int font : {kFont5x7, kFontD8x14}) {
      TLcdFrame f = WhiteFrame();
      const TLcdFrame before = f;
      EXPECT_EQ(DrawLcdText(&f, font, 100, s, 5), 100 - MeasureLcdText(font, " "));
      EXPECT_EQ(Changed(before, f).right, -1);
    }
}

TEST(DrawLcdText, MeasuresAndFallsBackToFont0) {
  struct Case {
    int font;
    const char* text;
    int width;
  };
  const Case cases[] = {
      {kFontD7x12, "12:30", 35},  {kFont4x5, "5%", 11},       {kFont5x7, "", 0},
      {kFont4x7, "1.5KB", 5 + 2 + 5 + 6 + 6}, {kFontD8x14, "-1", 5 + 9},
      {kFont5x6, "45\xb0", 6 + 6 + 4},
      {42, "AB", 12},  // any other id is font 0
  };
  for (const Case& c : cases) EXPECT_EQ(MeasureLcdText(c.font, c.text), c.width) << c.text;
  EXPECT_EQ(DrawLcdText(nullptr, kFont5x7, 77, "", 3), 77);
  EXPECT_EQ(MeasureLcdText(kFontIcons, std::string_view("\0", 1)), 23);
  EXPECT_EQ(MeasureLcdText(kFontIcons, "\x01"), 19);
  EXPECT_EQ(GetLcdFont(kFontIcons).Glyph(0).Height, 22);
  EXPECT_EQ(GetLcdFont(kFontIcons).Glyph(1).Height, 23);
}

TEST(DrawLcdText, FallBackGlyphsShareTheTopRow) {
  // "5%" in 4x5: both glyphs' first ink row is yTop.
  TLcdFrame f = WhiteFrame();
  EXPECT_EQ(DrawLcdText(&f, kFont4x5, 50, "5%", 20), 39);
  auto topInk = [&](int from, int to) {
    for (int y = 0; y < kLcdHeight; ++y)
      for (int x = from; x < to; ++x)
        if (f.px[y][x] == kBlack) return y;
    return -1;
  };
  EXPECT_EQ(topInk(39, 44), 20);  // the "5"
  EXPECT_EQ(topInk(44, 50), 20);  // the "%"
}

TEST(DrawLcdText, ItemAt150InD7x10CoversItsCells) {
  TLcdFrame f = WhiteFrame();
  const TLcdFrame before = f;
  EXPECT_EQ(DrawLcdText(&f, kFontD7x10, 151, "45", 10), 135);
  const TBox box = Changed(before, f);
  EXPECT_GE(box.left, 135);
  EXPECT_EQ(box.right, 150);
  EXPECT_EQ(box.top, 10);
  EXPECT_EQ(box.bottom, 19);
}

TEST(DrawLcdText, InvertsUnderInkAndTwiceRestores) {
  std::mt19937 rng(7);
  TLcdFrame f;
  for (auto& row : f.px)
    for (TRgb& p : row) p = TRgb{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
  const TLcdFrame before = f;
  const std::string texts[] = {"Alarm, TjMax= 90\xb0" "C", "12:30", "1,5.7", "\x01"};
  const int fonts[] = {kFont5x7, kFontD8x14, kFont5x6, kFontIcons};
  for (int i = 0; i < 4; ++i) DrawLcdText(&f, fonts[i], 120 + i * 5, texts[i], -3 + i * 6);
  EXPECT_NE(Changed(before, f).right, -1);
  for (int i = 0; i < 4; ++i) DrawLcdText(&f, fonts[i], 120 + i * 5, texts[i], -3 + i * 6);
  EXPECT_EQ(Changed(before, f).right, -1);

  // On black, ink shows white; paper leaves the frame alone.
  TLcdFrame black;
  black.FillAll(kBlack);
  DrawLcdText(&black, kFont5x7, 6, "A", 0);
  EXPECT_EQ(black.px[0][2], kWhite);  // top bar of the A
  EXPECT_EQ(black.px[0][1], kBlack);
  EXPECT_EQ(black.px[7][1], kBlack);  // descender row is paper
}

TEST(DrawLcdText, CanvasClipAndFrameEdgesCutText) {
  TLcdFrame f = WhiteFrame();
  TLcdCanvas canvas(f);
  canvas.SetClip({20, 0, 30, 43});
  DrawLcdText(canvas, kFont5x7, 60, "WWWWWWWWWW", 0);
  const TBox box = Changed(WhiteFrame(), f);
  EXPECT_EQ(box.left, 20);
  EXPECT_EQ(box.right, 29);
  // Text far outside the frame draws nothing and does not fault.
  TLcdFrame g = WhiteFrame();
  for (int x : {INT_MIN, INT_MIN + 5, -1000000, INT_MAX})
    for (int y : {INT_MIN, -3, INT_MAX - 5, INT_MAX}) DrawLcdText(&g, kFontD8x14, x, "88888", y);
  EXPECT_EQ(DrawLcdText(nullptr, kFont5x7, INT_MIN + 5, "AB", 0), INT_MIN);  // saturates
  DrawLcdText(&g, kFontD8x14, 4, "88888", -5);
  EXPECT_EQ(Changed(WhiteFrame(), g).left, 0);
}

TEST(LcdFont, IconsArePaperBellAndInkBadge) {
  const tLCDGlyph& bell = GetLcdFont(kFontIcons).Glyph(0);
  const tLCDGlyph& badge = GetLcdFont(kFontIcons).Glyph(1);
  int bellInk = 0;
  for (int y = 0; y < bell.Height; ++y)
    for (int x = 0; x < bell.Width; ++x) bellInk += bell.Ink(x, y);
  EXPECT_LT(bellInk * 4, bell.Width * bell.Height) << "an outline on paper";
  EXPECT_GT(bellInk, 40);
  for (int y = 0; y < badge.Height; ++y) {
    int paper = 0;
    for (int x = 0; x < badge.Width; ++x) paper += !badge.Ink(x, y);
    if (y >= 3 && y <= 9) {
      EXPECT_GE(paper, 3) << "letters reversed out in row " << y;
    } else if (y >= 10 && y <= 21) {
      EXPECT_EQ(paper, 0) << "solid lower part, row " << y;
    }
  }
}

TEST(LcdFont, InitAndFreeArePaired) {
  InitLcdFonts();
  InitLcdFonts();
  FreeLcdFonts();
  EXPECT_EQ(GetLcdFont(kFont5x7).Count(), 96);
  FreeLcdFonts();
  FreeLcdFonts();  // one too many does nothing
  EXPECT_EQ(MeasureLcdText(kFontD7x12, "12:30"), 35);
  EXPECT_STREQ(LcdFontName(kFontD8x14), "D8x14");
  EXPECT_EQ(LcdFontName(8), nullptr);
}

// Text is inverted a row of eight pixels at a time; each pixel must still
// end up as inverting it through the glyph's Ink() one by one gives, for
// every font, at every column (edges and clip cuts included) and over a
// picture of many colours.
TEST(DrawLcdText, SameAsPixelByPixelInversion) {
  std::mt19937 random(7);
  TLcdFrame paper;
  for (auto& row : paper.px)
    for (TRgb& p : row)
      p = TRgb{static_cast<uint8_t>(random()), static_cast<uint8_t>(random()), static_cast<uint8_t>(random())};
  const std::string text = std::string("1:2.3,4 5-%A\xb0") + kIconBell + kIconWeekBadge;
  const TLcdRect clips[] = {{0, 0, kLcdWidth, kLcdHeight}, {13, 5, 27, 30}, {0, 9, 9, 10}, {151, 0, 160, 43}};
  for (int fontId : {kFont5x7, kFont4x7, kFont5x6, kFont4x6, kFont4x5, kFontD7x10, kFontD7x12, kFontD8x14,
                     kFontIcons}) {
    for (const TLcdRect& clip : clips) {
      for (int xRight : {-3, 0, 5, 37, 100, 163, 170, 250, 400}) {
        for (int yTop : {-13, -1, 0, 7, 35, 42}) {
          TLcdFrame got = paper, want = paper;
          TLcdCanvas canvas(got);
          canvas.SetClip(clip);
          const int left = DrawLcdText(canvas, fontId, xRight, text, yTop);
          int x = xRight;
          for (size_t i = text.size(); i-- > 0;) {
            const int index = LcdGlyphIndex(static_cast<unsigned char>(text[i]));
            const tLCDFont& font = GetLcdFont(index < GetLcdFont(fontId).Count() ? fontId : kFont5x7);
            const tLCDGlyph& g = font.Glyph(index);
            x -= g.Width;
            for (int r = 0; r < g.Height; ++r)
              for (int c = 0; c < g.Width; ++c) {
                const int px = x + c, py = yTop + r;
                if (g.Ink(c, r) && px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom) {
                  TRgb& p = want.px[py][px];
                  p = TRgb{static_cast<uint8_t>(255 - p.b), static_cast<uint8_t>(255 - p.g),
                           static_cast<uint8_t>(255 - p.r)};
                }
              }
          }
          ASSERT_EQ(left, x);
          const TBox box = Changed(want, got);
          ASSERT_EQ(box.right, -1) << "font " << fontId << " at " << xRight << "," << yTop << ", clip "
                                   << clip.left << ".." << clip.right << ": first difference at " << box.left
                                   << "," << box.top;
        }
      }
    }
  }
}
