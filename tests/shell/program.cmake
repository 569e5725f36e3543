# The program's own decisions: the tick's schedule and the window's rules.
kes_native_test(shell_program_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TickTest.cpp ${CMAKE_CURRENT_LIST_DIR}/WindowRulesTest.cpp
  LIBS kes_shell_program_core)
