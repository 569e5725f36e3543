# The device binding: the binding's logic and records (all builds) and the
# library loading (Windows builds).
kes_core_library(kes_g15_core G15Unit.cpp)
target_link_libraries(kes_g15_core PUBLIC kes_lcd_core)
kes_win_library(kes_g15 G15Unit_win.cpp)
if(TARGET kes_g15)
  target_link_libraries(kes_g15 PUBLIC kes_g15_core kes_files)
endif()
