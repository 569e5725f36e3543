// The LCD's own bitmap fonts and the one text operation, DrawLcdText, that
// draws right-aligned text by inverting the frame under the glyphs' ink.
// Fonts are read-only after they are built; use them from one thread (the
// applet's window thread, or a tool's main thread).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "applet/lcd/LcdDrawCanvas.h"

// Font ids. Any other id selects font 0.
enum : int {
  kFont5x7 = 0,
  kFont4x7 = 1,
  kFont5x6 = 2,
  kFont4x6 = 3,
  kFont4x5 = 4,
  kFontD7x10 = 5,
  kFontD7x12 = 6,
  kFontD8x14 = 7,
  kFontIcons = 255,
};
constexpr int kLcdTextFontCount = 8;  // ids 0..7 have configuration names

// The icon font's two characters.
constexpr char kIconBell = '\0';
constexpr char kIconWeekBadge = '\1';

// One glyph: its size and its picture, rows from the top, RowBytes bytes a
// row, most significant bit leftmost, bit 0 = ink, 1 = paper.
struct tLCDGlyph {
  uint8_t Width = 0;
  uint8_t Height = 0;
  uint8_t RowBytes = 0;
  const uint8_t* Image = nullptr;  // points into the font's stored table
  // The picture prepared for inverting: Height rows of 3 x Width bytes,
  // 255 under ink and 0 under paper, to be exclusive-ored onto the frame's
  // bytes; bit r of InkRows is set when row r has ink. Null for glyphs
  // taller than 32 rows.
  const uint8_t* Xor = nullptr;
  uint32_t InkRows = 0;

  bool Ink(int x, int y) const {
    return (Image[y * RowBytes + (x >> 3)] & (0x80 >> (x & 7))) == 0;
  }
};

// A font: one glyph record per glyph position.
class tLCDFont {
 public:
  tLCDFont() = default;
  // entries: count stored entries of entrySize bytes (width, height, data).
  tLCDFont(const uint8_t* entries, int count, int entrySize);
  // The glyphs point into the font's own storage: moved, never copied.
  tLCDFont(tLCDFont&&) = default;
  tLCDFont& operator=(tLCDFont&&) = default;
  tLCDFont(const tLCDFont&) = delete;
  tLCDFont& operator=(const tLCDFont&) = delete;

  int Count() const { return static_cast<int>(glyphs_.size()); }
  const tLCDGlyph& Glyph(int index) const { return glyphs_[index]; }
  void Clear() {
    glyphs_.clear();
    xor_.clear();
  }

 private:
  std::vector<tLCDGlyph> glyphs_;
  std::vector<uint8_t> xor_;  // the glyphs' prepared rows
};

// Builds the nine fonts; repeated calls only count. FreeLcdFonts undoes one
// call and empties the fonts with the last one. Drawing before InitLcdFonts
// builds the fonts on first use, so a missing call cannot blank the LCD.
void InitLcdFonts();
void FreeLcdFonts();

// The font for an id (any id but 1..7 and 255 gives font 0).
const tLCDFont& GetLcdFont(int fontId);

// The configuration name of text font id 0..7 ("5x7" .. "D8x14"); nullptr
// for any other id.
const char* LcdFontName(int fontId);

// Glyph position of a Windows-1252 byte: digits 0..9, ":" 10, space 11,
// "," 12, "." 13, "!".."+" 14..24, "-" 25, "/" 26, ";"..127 27..95, the
// degree sign (176) 95, bytes 0 and 1 themselves (the icons); anything else 11.
int LcdGlyphIndex(unsigned char ch);

// Draws text so that it ends just left of column xRight, with every glyph's
// top row at yTop, inverting the target under the glyphs' ink, and returns
// xLeft = xRight - width. Characters a digit font lacks come from font 0.
// With target == nullptr nothing is drawn: the call only measures.
int DrawLcdText(TLcdFrame* target, int fontId, int xRight, std::string_view text, int yTop);
// The same, drawing through a canvas so that its clip rectangle applies.
int DrawLcdText(const TLcdCanvas& target, int fontId, int xRight, std::string_view text, int yTop);
// The width of text in the font, in pixels.
int MeasureLcdText(int fontId, std::string_view text);
