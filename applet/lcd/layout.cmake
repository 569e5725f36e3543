# Layout parsing, the INI file reader, bitmap files, the preview stretch and
# the soft-button transitions: no drawing needed.
kes_core_library(kes_lcd_layout
  ${CMAKE_CURRENT_LIST_DIR}/Layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Bmp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Stretch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Buttons.cpp)

# The composition of a frame, drawn with the fonts and elements of kes_lcd_draw.
if(TARGET kes_lcd_draw)
  kes_core_library(kes_lcd_compose ${CMAKE_CURRENT_LIST_DIR}/Compose.cpp)
  target_link_libraries(kes_lcd_compose PUBLIC kes_lcd_layout kes_lcd_draw kes_lcd_core)
endif()
