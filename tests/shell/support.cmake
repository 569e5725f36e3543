# The shell's rules natively; its utilities, configuration file and service
# link under Wine.
kes_native_test(shell_core_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShellRulesTest.cpp LIBS kes_shell_core)
kes_wine_test(shell_win_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShellSupportWinTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShellSupportWinTest.rc
  LIBS kes_shell_support)
# The window tests need a display: the same program under Xvfb.
kes_wine_window_test(shell_win_window_test shell_win_test Windows.*)
