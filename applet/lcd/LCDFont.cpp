#include "applet/lcd/LCDFont.h"

#include <array>
#include <climits>

#include "applet/lcd/LCDFontData.h"

namespace {

constexpr int kSpaceGlyph = 11;

struct TStoredFont {
  const uint8_t* entries;
  int count;
  int entrySize;
};

// Slots 0..7 are the text fonts by id, slot 8 the icon font.
constexpr int kIconSlot = 8;
const TStoredFont kStored[9] = {
    {&kLcdFont5x7[0][0], 96, 10},   {&kLcdFont4x7[0][0], 14, 10},   {&kLcdFont5x6[0][0], 14, 10},
    {&kLcdFont4x6[0][0], 14, 10},   {&kLcdFont4x5[0][0], 14, 10},   {&kLcdFontD7x10[0][0], 14, 12},
    {&kLcdFontD7x12[0][0], 14, 14}, {&kLcdFontD8x14[0][0], 14, 30}, {&kLcdFontIcons[0][0], 2, 71},
};
const char* const kNames[kLcdTextFontCount] = {"5x7",   "4x7",   "5x6",   "4x6",
                                               "4x5",   "D7x10", "D7x12", "D8x14"};

std::array<tLCDFont, 9> gFonts;
int gStartCount = 0;
bool gBuilt = false;

void BuildFonts() {
  for (int i = 0; i < 9; ++i) gFonts[i] = tLCDFont(kStored[i].entries, kStored[i].count, kStored[i].entrySize);
  gBuilt = true;
}

int SlotOf(int fontId) {
  if (fontId == kFontIcons) return kIconSlot;
  if (fontId >= 1 && fontId <= 7) return fontId;
  return 0;
}

// Lays the text out from xRight leftwards and inverts its glyphs: a glyph
// wholly inside the canvas's clip straight from its prepared rows, any other
// through mask, inverted by the caller. Without a canvas it only measures.
// Returns the left edge.
int AddText(const TLcdCanvas* canvas, TLcdInkMask* mask, int fontId, int xRight, std::string_view text, int yTop) {
  const tLCDFont& font = GetLcdFont(fontId);
  int x = xRight;
  for (size_t i = text.size(); i-- > 0;) {
    const int index = LcdGlyphIndex(static_cast<unsigned char>(text[i]));
    if (index < font.Count()) {
      const tLCDGlyph& g = font.Glyph(index);
      x = x < INT_MIN + g.Width ? INT_MIN : x - g.Width;  // far left stays far left
      if (!canvas) continue;
      if (g.Xor != nullptr && canvas->Holds(x, yTop, g.Width, g.Height))
        canvas->InvertPrepared(x, yTop, g.Width, g.Xor, g.InkRows);
      else
        mask->AddBits(x, yTop, g.Width, g.Height, g.Image, g.RowBytes);
    } else {
      x = AddText(canvas, mask, kFont5x7, x, text.substr(i, 1), yTop);
    }
  }
  return x;
}

int DrawText(const TLcdCanvas* canvas, int fontId, int xRight, std::string_view text, int yTop) {
  if (!canvas) return AddText(nullptr, nullptr, fontId, xRight, text, yTop);
  TLcdInkMask mask;
  const int x = AddText(canvas, &mask, fontId, xRight, text, yTop);
  canvas->InvertMask(mask);
  return x;
}

}  // namespace

tLCDFont::tLCDFont(const uint8_t* entries, int count, int entrySize) {
  glyphs_.reserve(count);
  size_t prepared = 0;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = entries + i * entrySize;
    tLCDGlyph g;
    g.Width = e[0];
    g.Height = e[1];
    g.RowBytes = static_cast<uint8_t>(g.Height ? (entrySize - 2) / g.Height : 0);
    g.Image = e + 2;
    glyphs_.push_back(g);
    if (g.Height <= 32) prepared += 3u * g.Width * g.Height;
  }
  // The prepared rows, filled once the storage no longer moves.
  xor_.assign(prepared, 0);
  uint8_t* out = xor_.data();
  for (tLCDGlyph& g : glyphs_) {
    if (g.Height > 32) continue;
    g.Xor = out;
    for (int y = 0; y < g.Height; ++y)
      for (int x = 0; x < g.Width; ++x, out += 3)
        if (g.Ink(x, y)) {
          out[0] = out[1] = out[2] = 0xFF;
          g.InkRows |= 1u << y;
        }
  }
}

void InitLcdFonts() {
  if (gStartCount++ == 0 && !gBuilt) BuildFonts();
}

void FreeLcdFonts() {
  if (gStartCount == 0 || --gStartCount > 0) return;
  for (tLCDFont& f : gFonts) f.Clear();
  gBuilt = false;
}

const tLCDFont& GetLcdFont(int fontId) {
  if (!gBuilt) BuildFonts();
  return gFonts[SlotOf(fontId)];
}

const char* LcdFontName(int fontId) {
  return fontId >= 0 && fontId < kLcdTextFontCount ? kNames[fontId] : nullptr;
}

namespace {

constexpr int GlyphIndexOf(unsigned char ch) {
  if (ch <= 1) return ch;
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= '!' && ch <= '+') return ch - 19;
  if (ch >= ';' && ch <= 127) return ch - 32;
  switch (ch) {
    case ':': return 10;
    case ',': return 12;
    case '.': return 13;
    case '-': return 25;
    case '/': return 26;
    case 176: return 95;
    default: return kSpaceGlyph;
  }
}

struct TGlyphIndexTable {
  uint8_t index[256];
};
constexpr TGlyphIndexTable MakeGlyphIndexTable() {
  TGlyphIndexTable t{};
  for (int ch = 0; ch < 256; ++ch) t.index[ch] = static_cast<uint8_t>(GlyphIndexOf(static_cast<unsigned char>(ch)));
  return t;
}
constexpr TGlyphIndexTable kGlyphIndex = MakeGlyphIndexTable();

}  // namespace

int LcdGlyphIndex(unsigned char ch) { return kGlyphIndex.index[ch]; }

int DrawLcdText(TLcdFrame* target, int fontId, int xRight, std::string_view text, int yTop) {
  if (!target) return DrawText(nullptr, fontId, xRight, text, yTop);
  const TLcdCanvas canvas(*target);
  return DrawText(&canvas, fontId, xRight, text, yTop);
}

int DrawLcdText(const TLcdCanvas& target, int fontId, int xRight, std::string_view text, int yTop) {
  return DrawText(&target, fontId, xRight, text, yTop);
}

int MeasureLcdText(int fontId, std::string_view text) {
  const int x = DrawText(nullptr, fontId, 0, text, 0);
  return x == INT_MIN ? INT_MAX : -x;
}
