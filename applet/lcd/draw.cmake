# Fonts, text, bars, rates, pop-ups, date patterns and the PNG writer.
kes_core_library(kes_lcd_draw
  LCDFont.cpp LCDFontData.cpp LCDFontSheet.cpp
  LcdDrawCanvas.cpp LcdDraw.cpp
  DatePattern.cpp PngWrite.cpp)
target_link_libraries(kes_lcd_draw PUBLIC kes_lcd_core)

# Writes the glyph sheet as a PNG: lcd-glyph-sheet <file.png> [scale].
if(KES_BUILD STREQUAL "native")
  add_executable(lcd-glyph-sheet LcdDrawGlyphSheetTool.cpp)
  target_compile_options(lcd-glyph-sheet PRIVATE ${KES_WARNINGS})
  target_link_libraries(lcd-glyph-sheet PRIVATE kes_lcd_draw)
endif()
