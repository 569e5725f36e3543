# Helpers shared by every subsystem's CMakeLists.txt.
#
#   kes_core_library(name SOURCES...)   platform-free code, built in all three builds
#   kes_win_library(name SOURCES...)    Windows-only code (files named *_win.cpp)
#   kes_program(name SOURCES...)        a statically linked Windows program
#   kes_native_test(name SOURCES... LIBS ...)   GoogleTest, native, with sanitizers
#   kes_wine_test(name SOURCES... LIBS ...)     GoogleTest, run under Wine in both Windows builds
#   kes_wine_window_test(name program filter)   the program's display tests under Xvfb
#   kes_benchmark(name SOURCES... LIBS ...)     Google Benchmark, native
#   kes_e2e_test(name SCRIPT)                   a bash scenario, run in both Windows builds

option(KES_SANITIZE "Build native code with ASan and UBSan" ON)

set(KES_WARNINGS -Wall -Wextra -Werror -Wno-missing-field-initializers)

if(KES_BUILD STREQUAL "native")
  if(KES_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  find_package(GTest REQUIRED)
  find_package(benchmark QUIET)
else()
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # GoogleTest for the Windows side, built from the distribution's sources.
  if(EXISTS /usr/src/googletest/CMakeLists.txt)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
endif()

# Wine's loader for this build's programs: the 32-bit one runs PE32 programs
# in a prefix made by wine64. Tests and scenarios get it as KES_WINE, and the
# build they test as KES_ARCH.
if(KES_BUILD STREQUAL "win32")
  set(KES_WINE /usr/lib/wine/wine)
else()
  set(KES_WINE /usr/lib/wine/wine64)
endif()
set(KES_WINE_ENV "KES_WINE=${KES_WINE}" "KES_ARCH=${KES_BUILD}" "KES_WINE_ROOT=${CMAKE_BINARY_DIR}/wine")

set(KES_STATIC_LINK -static -static-libgcc -static-libstdc++)

function(kes_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_compile_options(${name} PRIVATE ${KES_WARNINGS})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

function(kes_win_library name)
  if(NOT WIN32)
    return()
  endif()
  add_library(${name} STATIC ${ARGN})
  target_compile_options(${name} PRIVATE ${KES_WARNINGS})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

# A stand-in DLL: only in the Windows builds; its name is the real library's.
function(kes_sim_dll name)
  if(NOT WIN32)
    return()
  endif()
  add_library(${name} SHARED ${ARGN})
  target_compile_options(${name} PRIVATE ${KES_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_options(${name} PRIVATE ${KES_STATIC_LINK})
  set_target_properties(${name} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()

function(kes_program name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(P "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_compile_options(${name} PRIVATE ${KES_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${P_LIBS})
  target_link_options(${name} PRIVATE ${KES_STATIC_LINK})
  if(P_GUI)
    set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()

function(kes_native_test name)
  if(NOT KES_BUILD STREQUAL "native")
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${KES_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS native)
endfunction()

# Built and run under Wine in both Windows builds, so a fault of one pointer
# size shows as such.
function(kes_wine_test name)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_compile_options(${name} PRIVATE ${KES_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gtest)
  target_link_options(${name} PRIVATE ${KES_STATIC_LINK})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS wine
    ENVIRONMENT "${KES_WINE_ENV}"
    TIMEOUT 300)
endfunction()

# A Wine test program's tests that need a display (gtest filter), run again
# under Xvfb as their own test.
function(kes_wine_window_test name program filter)
  if(NOT WIN32 OR NOT TARGET ${program})
    return()
  endif()
  add_test(NAME ${name}
    COMMAND xvfb-run -a ${CMAKE_SOURCE_DIR}/tests/wine-run.sh $<TARGET_FILE:${program}> --gtest_filter=${filter})
  set_tests_properties(${name} PROPERTIES LABELS wine
    ENVIRONMENT "${KES_WINE_ENV};KES_NEED_DISPLAY=1" TIMEOUT 300)
endfunction()

function(kes_benchmark name)
  if(NOT KES_BUILD STREQUAL "native" OR NOT TARGET benchmark::benchmark)
    return()
  endif()
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_compile_options(${name} PRIVATE ${KES_WARNINGS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  # A short run proves the benchmark works; real figures come from running it by hand.
  add_test(NAME ${name} COMMAND ${name} --benchmark_min_time=0.01)
  set_tests_properties(${name} PROPERTIES LABELS bench)
endfunction()

# An end-to-end scenario: a bash script given the build tree's bin folder.
function(kes_e2e_test name script)
  if(NOT WIN32)
    return()
  endif()
  add_test(NAME ${name} COMMAND bash ${script} ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${name} PROPERTIES LABELS e2e
    ENVIRONMENT "${KES_WINE_ENV};KES_SOURCE=${CMAKE_SOURCE_DIR}"
    TIMEOUT 600)
endfunction()
