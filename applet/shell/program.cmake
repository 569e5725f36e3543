# The Kestrani program: the decisions of its tick and window (all builds),
# its window, tray menu, renderer tick and capture (Windows builds), and the
# program entry with its resources.
kes_core_library(kes_shell_program_core
  ${CMAKE_CURRENT_LIST_DIR}/Tick.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WindowRules.cpp)

# The program needs the shell's utilities, configuration file and service link.
if(WIN32 AND TARGET kes_shell_support AND TARGET kes_shell_core)
  kes_win_library(kes_shell_program
    ${CMAKE_CURRENT_LIST_DIR}/Applet_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainWindow_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Startup_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TrayMenu_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Render_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Capture_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Locale_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UserFolder_win.cpp)
  target_link_libraries(kes_shell_program PUBLIC
    kes_shell_program_core kes_shell_support kes_shell_core
    kes_lcd_compose kes_lcd_layout kes_g15 kes_sensors kes_cpu
    user32 gdi32 shell32 winmm)

  kes_program(Kestrani GUI
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/Main_win.cpp ${CMAKE_SOURCE_DIR}/res/Kestrani.rc
    LIBS kes_shell_program)
  target_include_directories(Kestrani PRIVATE ${CMAKE_SOURCE_DIR}/res ${KES_GENERATED_DIR})
  set_source_files_properties(${CMAKE_SOURCE_DIR}/res/Kestrani.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/res/Kestrani.manifest;${CMAKE_SOURCE_DIR}/res/Kestrani.ico;${KES_GENERATED_DIR}/Version.h")
endif()
