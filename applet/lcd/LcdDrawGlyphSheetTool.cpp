// lcd-glyph-sheet <file.png> [scale]: writes every LCD font, enlarged.
#include <cstdio>
#include <cstdlib>

#include "applet/lcd/LCDFontSheet.h"
#include "applet/lcd/PngWrite.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <file.png> [scale]\n", argv[0]);
    return 2;
  }
  const int scale = argc > 2 ? std::atoi(argv[2]) : 4;
  const TRgbImage sheet = RenderGlyphSheet(scale < 1 ? 1 : scale);
  if (!WriteBinaryFile(argv[1], EncodePng(sheet.px.data(), sheet.width, sheet.height))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
