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

# The layout tool for people who design layouts (a host program).
if(TARGET kes_lcd_compose AND KES_BUILD STREQUAL "native")
  add_executable(kestrani-render ${CMAKE_CURRENT_LIST_DIR}/render/KestraniRender.cpp)
  target_compile_options(kestrani-render PRIVATE ${KES_WARNINGS})
  target_link_libraries(kestrani-render PRIVATE kes_lcd_compose)
  set_target_properties(kestrani-render PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endif()
