# Layout parsing, codecs, stretch and buttons.
kes_native_test(lcd_layout_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/LayoutTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BmpTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StretchTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ButtonsTest.cpp
  LIBS kes_lcd_layout kes_lcd_core)
if(TARGET lcd_layout_test)
  # Bitmap files in every form the background decoder reads, with references.
  target_compile_definitions(lcd_layout_test PRIVATE KES_BMP_FIXTURES="${CMAKE_CURRENT_LIST_DIR}/bmp/")
endif()

if(TARGET kes_lcd_compose)
  kes_native_test(lcd_compose_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ComposeTest.cpp LIBS kes_lcd_compose)
endif()

# Golden pictures of the default layout: every page, the alarm, and the
# inverted and Fahrenheit settings, rendered by kestrani-render.
function(kes_lcd_golden name)
  set(golden ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/golden)
  set(args --ini ${CMAKE_SOURCE_DIR}/res/Kestrani.ini --readings ${golden}/readings.txt ${ARGN})
  string(REPLACE ";" "\\;" args "${args}")
  add_test(NAME lcd_golden_${name}
    COMMAND ${CMAKE_COMMAND} -DTOOL=$<TARGET_FILE:kestrani-render> -DGOLDEN=${golden}/${name}.bmp
            -DOUT=${CMAKE_CURRENT_BINARY_DIR}/golden-${name}.bmp -DARGS=${args}
            -P ${golden}/CompareGolden.cmake)
  set_tests_properties(lcd_golden_${name} PROPERTIES LABELS native)
endfunction()
if(TARGET kestrani-render)
  kes_lcd_golden(page0)
  kes_lcd_golden(page1 --page 1)
  kes_lcd_golden(page2 --page 2)
  kes_lcd_golden(page3 --page 3 --set decimal=,)
  kes_lcd_golden(page4 --page 4)
  kes_lcd_golden(page5 --page 5)
  kes_lcd_golden(alarm --page 4 --alarm --ini-set Processor/Alarm=60)
  kes_lcd_golden(gpu-alarm-fahrenheit --alarm --ini-set nVidia/Alarm=130 --ini-set Common/Fahrenheit=1)
  kes_lcd_golden(inverted --ini-set Common/DoInvert=1)
endif()

if(TARGET kes_lcd_compose)
  kes_native_test(lcd_compose_alloc_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ComposeAllocTest.cpp
    ${CMAKE_SOURCE_DIR}/tests/common/AllocationCounter.cpp LIBS kes_lcd_compose)
  kes_benchmark(lcd_benchmark SOURCES ${CMAKE_CURRENT_LIST_DIR}/LcdBenchmark.cpp LIBS kes_lcd_compose)
endif()

# Fuzz targets (libFuzzer) of the background decoder and the layout parser,
# built with clang++-14 apart from the native compiler's flags and run for a
# bounded time as tests; skipped when the compiler is not installed. (Date
# patterns are fuzzed with the drawing, in draw.cmake.)
find_program(KES_CLANGXX NAMES clang++-14)
if(KES_BUILD STREQUAL "native" AND KES_CLANGXX)
  set(lcd ${CMAKE_SOURCE_DIR}/applet/lcd)
  set(fuzz ${CMAKE_CURRENT_LIST_DIR}/fuzz)
  set(KES_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs in the tests")
  foreach(target
      "bmp|${fuzz}/bmp-seeds|${fuzz}/BmpFuzz.cpp|${lcd}/Bmp.cpp"
      "layout|${CMAKE_SOURCE_DIR}/res/Kestrani.ini,${fuzz}/layout-seeds/limits.ini|${fuzz}/LayoutFuzz.cpp|${lcd}/Layout.cpp|${lcd}/IniFile.cpp")
    string(REPLACE "|" ";" parts "${target}")
    list(GET parts 0 name)
    list(GET parts 1 seeds)
    string(REPLACE "," ";" seeds "${seeds}")
    list(SUBLIST parts 2 -1 sources)
    set(exe ${CMAKE_CURRENT_BINARY_DIR}/lcd_fuzz_${name})
    add_custom_command(OUTPUT ${exe}
      COMMAND ${KES_CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined
              -fno-sanitize-recover=undefined -I${CMAKE_SOURCE_DIR} ${sources} -o ${exe}
      DEPENDS ${sources}
      COMMENT "Building fuzz target lcd_fuzz_${name}")
    add_custom_target(lcd_fuzz_${name}_build ALL DEPENDS ${exe})
    # The corpus grows in the build tree, starting from the seeds.
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/fuzz-corpus-${name})
    file(MAKE_DIRECTORY ${corpus})
    if(seeds)
      file(COPY ${seeds} DESTINATION ${corpus})
    endif()
    add_test(NAME lcd_fuzz_${name}
      COMMAND ${exe} -max_total_time=${KES_FUZZ_SECONDS} -max_len=4096 -print_final_stats=1
              ${corpus})
    set_tests_properties(lcd_fuzz_${name} PROPERTIES LABELS fuzz TIMEOUT 300)
  endforeach()
endif()
