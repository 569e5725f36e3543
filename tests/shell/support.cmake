# The shell's rules natively; its utilities, configuration file and service
# link under Wine.
kes_native_test(shell_core_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShellRulesTest.cpp LIBS kes_shell_core)
kes_wine_test(shell_win_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ShellSupportWinTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ShellSupportWinTest.rc
  LIBS kes_shell_support)
# The window tests need a display: the same program under Xvfb.
if(WIN32 AND TARGET shell_win_test)
  add_test(NAME shell_win_window_test
    COMMAND xvfb-run -a ${CMAKE_SOURCE_DIR}/tests/wine-run.sh $<TARGET_FILE:shell_win_test>
      --gtest_filter=Windows.*)
  set_tests_properties(shell_win_window_test PROPERTIES LABELS wine
    ENVIRONMENT "${KES_WINE_ENV};KES_NEED_DISPLAY=1" TIMEOUT 300)
endif()
