# Renders one picture with kestrani-render and compares it byte for byte with
# its golden file. With KES_UPDATE_GOLDEN=1 in the environment the golden
# file is rewritten instead (only on purpose, after looking at the picture).
#   -DTOOL=... -DGOLDEN=... -DOUT=... -DARGS="--ini;...;--readings;..."
execute_process(COMMAND ${TOOL} ${ARGS} --out ${OUT} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "kestrani-render failed (${rc}): ${err}")
endif()
if("$ENV{KES_UPDATE_GOLDEN}" STREQUAL "1")
  file(COPY_FILE ${OUT} ${GOLDEN})
  message(STATUS "updated ${GOLDEN}")
  return()
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${GOLDEN} RESULT_VARIABLE diff)
if(NOT diff EQUAL 0)
  message(FATAL_ERROR "${OUT} differs from ${GOLDEN}; look at both, and if the change is meant, "
                      "rerun with KES_UPDATE_GOLDEN=1")
endif()
