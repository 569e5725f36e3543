# Layout parsing, codecs, stretch and buttons.
kes_native_test(lcd_layout_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/LayoutTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BmpTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StretchTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ButtonsTest.cpp
  LIBS kes_lcd_layout kes_lcd_core)

if(TARGET kes_lcd_compose)
  kes_native_test(lcd_compose_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ComposeTest.cpp LIBS kes_lcd_compose)
endif()
