# The one version of the product: the project's version, padded to the four
# numbers of a Windows file version. It feeds both programs' version
# resources (and through the service's resource the published block's
# version fields) and the names of the release files.
foreach(part MAJOR MINOR PATCH TWEAK)
  if(PROJECT_VERSION_${part} STREQUAL "")
    set(PROJECT_VERSION_${part} 0)
  endif()
endforeach()
set(KES_VERSION
  "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${PROJECT_VERSION_TWEAK}")
set(KES_VERSION_BIN
  "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
set(KES_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/res/Version.h.in ${KES_GENERATED_DIR}/Version.h @ONLY)
