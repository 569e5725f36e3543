# Layout parsing, codecs, stretch and buttons.
kes_native_test(lcd_layout_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/LayoutTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/BmpTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StretchTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ButtonsTest.cpp
  LIBS kes_lcd_layout kes_lcd_core)

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
