# Fonts, text, bars, rates, pop-ups, date patterns and the PNG writer.
kes_native_test(lcd_font_test SOURCES FontTest.cpp LIBS kes_lcd_draw)
kes_native_test(lcd_draw_test SOURCES DrawTest.cpp LIBS kes_lcd_draw)
kes_native_test(lcd_date_test SOURCES DateTest.cpp LIBS kes_lcd_draw)
if(KES_BUILD STREQUAL "native")
  find_package(ZLIB REQUIRED)  # the tests read the PNG writer's output back with zlib
  kes_native_test(lcd_png_test SOURCES PngTest.cpp LIBS kes_lcd_draw ZLIB::ZLIB)
endif()

# The drawing fuzz target, built with clang's libFuzzer beside the g++ build
# and run for a bounded time; absent clang it is left out.
find_program(KES_CLANGXX NAMES clang++-14 clang++)
if(KES_BUILD STREQUAL "native" AND KES_CLANGXX)
  set(fuzz_src
    ${CMAKE_CURRENT_SOURCE_DIR}/DrawFuzz.cpp
    ${CMAKE_SOURCE_DIR}/applet/lcd/LCDFont.cpp ${CMAKE_SOURCE_DIR}/applet/lcd/LCDFontData.cpp
    ${CMAKE_SOURCE_DIR}/applet/lcd/LcdDrawCanvas.cpp ${CMAKE_SOURCE_DIR}/applet/lcd/LcdDraw.cpp
    ${CMAKE_SOURCE_DIR}/applet/lcd/DatePattern.cpp)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/lcd_draw_fuzzer
    COMMAND ${KES_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
            -fno-sanitize-recover=undefined -I${CMAKE_SOURCE_DIR} ${fuzz_src}
            -o ${CMAKE_CURRENT_BINARY_DIR}/lcd_draw_fuzzer
    DEPENDS ${fuzz_src} VERBATIM)
  add_custom_target(lcd_draw_fuzzer_build ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/lcd_draw_fuzzer)
  add_test(NAME lcd_draw_fuzz COMMAND ${CMAKE_CURRENT_BINARY_DIR}/lcd_draw_fuzzer
           -max_total_time=15 -rss_limit_mb=1024)
  set_tests_properties(lcd_draw_fuzz PROPERTIES LABELS fuzz TIMEOUT 120)
endif()
