# Fonts, text, bars, rates, pop-ups, date patterns and the PNG writer.
kes_native_test(lcd_font_test SOURCES FontTest.cpp LIBS kes_lcd_draw)
kes_native_test(lcd_draw_test SOURCES DrawTest.cpp LIBS kes_lcd_draw)
kes_native_test(lcd_date_test SOURCES DateTest.cpp LIBS kes_lcd_draw)
if(KES_BUILD STREQUAL "native")
  find_package(ZLIB REQUIRED)  # the tests read the PNG writer's output back with zlib
  kes_native_test(lcd_png_test SOURCES PngTest.cpp LIBS kes_lcd_draw ZLIB::ZLIB)
endif()
