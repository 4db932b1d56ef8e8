# The conformance cases of tests/conformance/: one source of cases, run on the host against the
# emulated machine (conformance_host) and, cross-built with MinGW, under Wine in a fresh prefix
# (conformance_wine_x86_64, and conformance_wine_i686 under the 32-bit Wine in qemu).
set(CONFORMANCE_DIR ${CMAKE_SOURCE_DIR}/tests/conformance)
add_executable(conformance-host ${CONFORMANCE_DIR}/cases.cpp ${CONFORMANCE_DIR}/harness.cpp
  ${CONFORMANCE_DIR}/host_main.cpp)
target_include_directories(conformance-host PRIVATE ${CONFORMANCE_DIR})
target_link_libraries(conformance-host PRIVATE emulator product)
target_compile_options(conformance-host PRIVATE ${WARNINGS})
add_test(NAME conformance_host COMMAND conformance-host)
set_tests_properties(conformance_host PROPERTIES LABELS conformance TIMEOUT 60
  FAIL_REGULAR_EXPRESSION "Test failed")

if(NOT ORBELLE_WINE_TESTS OR NOT MINGW_X86_64_GXX OR NOT MINGW_I686_GXX)
  return()
endif()

include(ExternalProject)
foreach(arch IN ITEMS x86_64 i686)
  ExternalProject_Add(conformance_guest_${arch}
    SOURCE_DIR ${CONFORMANCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/conformance/guest-${arch}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake
               -DCMAKE_BUILD_TYPE=Release
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
  set(fixtures wine_prefix)
  if(arch STREQUAL "i686")
    if(NOT ORBELLE_WINE_I686)
      continue()
    endif()
    list(APPEND fixtures wine_i386)
  endif()
  add_test(NAME conformance_wine_${arch}
    COMMAND bash ${CONFORMANCE_DIR}/run_wine.sh --arch ${arch} --work ${CMAKE_BINARY_DIR}/wine
            --exe ${CMAKE_BINARY_DIR}/conformance/guest-${arch}/conformance.exe)
  set_tests_properties(conformance_wine_${arch} PROPERTIES
    FIXTURES_REQUIRED "${fixtures}" LABELS "conformance;wine" TIMEOUT 600 SKIP_RETURN_CODE 77
    FAIL_REGULAR_EXPRESSION "Test failed")
endforeach()
add_custom_target(conformance_programs ALL DEPENDS conformance_guest_x86_64 conformance_guest_i686)
