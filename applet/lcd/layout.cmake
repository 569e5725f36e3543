# Layout parsing, the INI file reader, bitmap files, the preview stretch and
# the soft-button transitions: no drawing needed.
kes_core_library(kes_lcd_layout
  ${CMAKE_CURRENT_LIST_DIR}/Layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IniFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Bmp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Stretch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Buttons.cpp)
