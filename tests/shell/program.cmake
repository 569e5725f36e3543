# The program's own decisions: the tick's schedule and the window's rules.
kes_native_test(shell_program_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TickTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WindowRulesTest.cpp
  LIBS kes_shell_program_core)

# One tick of the applet on its platform-free parts, counting allocations.
kes_native_test(applet_tick_alloc_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TickAllocTest.cpp ${CMAKE_SOURCE_DIR}/tests/common/AllocationCounter.cpp
  LIBS kes_shell_program_core kes_shell_core kes_lcd_compose kes_g15_core kes_cpu_core)

# The tray menu and the capture under Wine.
if(TARGET kes_shell_program)
  kes_wine_test(shell_program_win_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProgramWinTest.cpp
    LIBS kes_shell_program)
endif()
# The tray menu while it shows needs a display: the same program under Xvfb.
kes_wine_window_test(shell_program_window_test shell_program_win_test TrayMenuWindowTest.*)
