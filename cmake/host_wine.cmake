# The real Uninstall.exe under Wine (CTest label "wine"): each machine image of
# tests/wine/cases.txt is laid on a throwaway Wine prefix, the exe runs there with its message
# boxes answered, and the machine afterwards is held against uninstall-sim's run of the image.
#
# Cross-built here with the MinGW toolchains, so the host build alone tests what it would
# ship: Uninstall.exe for x86_64 (the only one this kind of machine can run) and i686 (run
# where 32-bit Wine works), and the helper programs of tools/wine/guest/ that run next to it.
option(ORBELLE_WINE_TESTS "Run the real Uninstall.exe under Wine in the tests" ON)

file(GLOB WINE_HARNESS_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/wine/host/*.cpp)
list(FILTER WINE_HARNESS_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(wine_harness_lib STATIC ${WINE_HARNESS_SOURCES})
target_include_directories(wine_harness_lib PUBLIC ${CMAKE_SOURCE_DIR}/tools/wine/host)
target_link_libraries(wine_harness_lib PUBLIC machine_image emulator)
target_compile_options(wine_harness_lib PRIVATE ${WARNINGS})
add_executable(wine-harness ${CMAKE_SOURCE_DIR}/tools/wine/host/main.cpp)
target_link_libraries(wine-harness PRIVATE wine_harness_lib)
target_compile_options(wine-harness PRIVATE ${WARNINGS})

# The harness's own logic (comparison, scoping, image preparation), tested without Wine.
find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB WINE_HARNESS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/unit/*.cpp)
add_executable(wine_harness_tests ${WINE_HARNESS_TEST_SOURCES})
target_link_libraries(wine_harness_tests PRIVATE wine_harness_lib GTest::gtest_main)
target_compile_options(wine_harness_tests PRIVATE ${WARNINGS})
gtest_discover_tests(wine_harness_tests DISCOVERY_TIMEOUT 30)

find_program(MINGW_X86_64_GXX x86_64-w64-mingw32-g++)
find_program(MINGW_I686_GXX i686-w64-mingw32-g++)
if(NOT ORBELLE_WINE_TESTS OR NOT MINGW_X86_64_GXX OR NOT MINGW_I686_GXX)
  message(STATUS "Wine tests off: ORBELLE_WINE_TESTS=${ORBELLE_WINE_TESTS}, MinGW-w64 "
                 "x86_64: ${MINGW_X86_64_GXX}, i686: ${MINGW_I686_GXX}")
  return()
endif()

include(ExternalProject)
set(WINE_BUILD ${CMAKE_BINARY_DIR}/wine/build)
foreach(arch IN ITEMS x86_64 i686)
  # BUILD_ALWAYS: the sub-build decides what changed, so an edited source is never missed.
  ExternalProject_Add(wine_uninstall_${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${WINE_BUILD}/uninstall-${arch}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake
               -DCMAKE_BUILD_TYPE=MinSizeRel
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
  ExternalProject_Add(wine_guest_${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/wine/guest
    BINARY_DIR ${WINE_BUILD}/guest-${arch}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake
               -DCMAKE_BUILD_TYPE=Release
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
endforeach()
# wine-harness and the exes are what the tests run; building the host build builds them all.
add_custom_target(wine_programs ALL DEPENDS wine-harness uninstall-sim
  wine_uninstall_x86_64 wine_uninstall_i686 wine_guest_x86_64 wine_guest_i686)

set(WINE_WORK ${CMAKE_BINARY_DIR}/wine)
set(WINE_DRIVER ${CMAKE_SOURCE_DIR}/tests/wine/run_case.sh)
add_test(NAME wine_template
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/make_template.sh
          --work ${WINE_WORK} --guest ${WINE_BUILD}/guest-x86_64 --guest32 ${WINE_BUILD}/guest-i686)
set_tests_properties(wine_template PROPERTIES
  FIXTURES_SETUP wine_prefix LABELS wine TIMEOUT 240)

# One test a line of tests/wine/cases.txt: NAME ARCH IMAGE [shots]
file(STRINGS ${CMAKE_SOURCE_DIR}/tests/wine/cases.txt WINE_CASES REGEX "^[a-z]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/cases.txt)
foreach(line IN LISTS WINE_CASES)
  string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
  list(GET fields 0 name)
  list(GET fields 1 arch)
  list(GET fields 2 image)
  set(extra)
  if("shots" IN_LIST fields)
    list(APPEND extra --shots)
  endif()
  add_test(NAME wine_${name}
    COMMAND bash ${WINE_DRIVER} --name ${name} --image ${CMAKE_SOURCE_DIR}/${image}
            --base ${CMAKE_SOURCE_DIR}/examples/machines/installed
            --exe ${WINE_BUILD}/uninstall-${arch}/Uninstall.exe --arch ${arch}
            --work ${WINE_WORK} --harness $<TARGET_FILE:wine-harness>
            --sim $<TARGET_FILE:uninstall-sim> ${extra})
  set_tests_properties(wine_${name} PROPERTIES
    FIXTURES_REQUIRED wine_prefix LABELS wine TIMEOUT 240 SKIP_RETURN_CODE 77)
endforeach()
