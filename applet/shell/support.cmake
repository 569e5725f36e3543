# The shell's platform-free rules, and its utilities, configuration file and
# service link on Windows.
kes_core_library(kes_shell_core ${CMAKE_CURRENT_LIST_DIR}/ShellRules.cpp)
target_link_libraries(kes_shell_core PUBLIC kes_lcd_layout kes_block)

kes_win_library(kes_shell_support
  ${CMAKE_CURRENT_LIST_DIR}/SysUtils_win.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Config_win.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServiceLink_win.cpp)
if(TARGET kes_shell_support)
  target_link_libraries(kes_shell_support PUBLIC kes_shell_core kes_block_win kes_files kes_lcd_layout
    shell32 shlwapi version advapi32 ole32 uuid psapi user32 gdi32)
endif()
