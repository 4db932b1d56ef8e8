# The real Uninstall.exe under Wine (CTest label "wine"): each machine image of
# tests/wine/cases.txt is laid on a throwaway Wine prefix, the exe runs there with its message
# boxes answered, and the machine afterwards is held against uninstall-sim's run of the image.
#
# Every image runs with both builds of the Windows presets (build/win64/Uninstall.exe and the
# shipped build/win32/Uninstall.exe, which scripts/test builds before the tests); the i686 one
# runs under 32-bit Wine in qemu (tests/wine/qemu/), as this kind of machine runs no 32-bit
# code. The helper programs of tools/wine/guest/ that run next to it are cross-built here.
option(ORBELLE_WINE_TESTS "Run the real Uninstall.exe under Wine in the tests" ON)
# Where binfmt_misc cannot be mounted, wine_i386_setup says so and the i686 runs report
# themselves skipped; turn it off to leave out the i386 set-up (about 140 MB, fetched once).
option(ORBELLE_WINE_I686 "Also run the i686 Uninstall.exe, under 32-bit Wine in qemu" ON)

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
if(GTest_FOUND)
  file(GLOB WINE_HARNESS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/unit/*.cpp)
  # read_shift.cpp of the guest helpers has no Windows in it: its search runs here on made-up
  # memory.
  add_executable(wine_harness_tests ${WINE_HARNESS_TEST_SOURCES}
    ${CMAKE_SOURCE_DIR}/tools/wine/guest/read_shift.cpp)
  target_include_directories(wine_harness_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/wine/guest)
  target_link_libraries(wine_harness_tests PRIVATE wine_harness_lib GTest::gtest_main)
  target_compile_options(wine_harness_tests PRIVATE ${WARNINGS})
  gtest_discover_tests(wine_harness_tests DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES)
endif()

find_program(MINGW_X86_64_GXX x86_64-w64-mingw32-g++)
find_program(MINGW_I686_GXX i686-w64-mingw32-g++)
if(NOT ORBELLE_WINE_TESTS OR NOT MINGW_X86_64_GXX OR NOT MINGW_I686_GXX)
  message(STATUS "Wine tests off: ORBELLE_WINE_TESTS=${ORBELLE_WINE_TESTS}, MinGW-w64 "
                 "x86_64: ${MINGW_X86_64_GXX}, i686: ${MINGW_I686_GXX}")
  return()
endif()

include(ExternalProject)
find_path(JSON_INCLUDE_DIR nlohmann/json.hpp REQUIRED)
set(WINE_BUILD ${CMAKE_BINARY_DIR}/wine/build)
foreach(arch IN ITEMS x86_64 i686)
  # BUILD_ALWAYS: the sub-build decides what changed, so an edited source is never missed.
  ExternalProject_Add(wine_guest_${arch}
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/wine/guest
    BINARY_DIR ${WINE_BUILD}/guest-${arch}
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${arch}.cmake
               -DCMAKE_BUILD_TYPE=Release
               -DJSON_INCLUDE_DIR=${JSON_INCLUDE_DIR}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
endforeach()
# wine-harness and the helpers are what the tests run; building the host build builds them all.
add_custom_target(wine_programs ALL DEPENDS wine-harness uninstall-sim
  wine_guest_x86_64 wine_guest_i686)

set(WINE_WORK ${CMAKE_BINARY_DIR}/wine)
set(WINE_DRIVER ${CMAKE_SOURCE_DIR}/tests/wine/run_case.sh)
set(WINE_QEMU ${CMAKE_SOURCE_DIR}/tests/wine/qemu)
# 32-bit Wine under qemu: the i386 root (made once, about 140 MB of packages), the preload
# library and the binfmt_misc entry, which the cleanup removes when the suite ends.
set(WINE_FIXTURES wine_prefix)
if(ORBELLE_WINE_I686)
  add_test(NAME wine_i386_setup
    COMMAND bash ${WINE_QEMU}/setup_i386.sh --work ${WINE_WORK} --preload ${WINE_QEMU}/preload)
  set_tests_properties(wine_i386_setup PROPERTIES
    FIXTURES_SETUP wine_i386 LABELS wine TIMEOUT 900)
  add_test(NAME wine_i386_cleanup COMMAND bash ${WINE_QEMU}/cleanup_i386.sh --work ${WINE_WORK})
  set_tests_properties(wine_i386_cleanup PROPERTIES
    FIXTURES_CLEANUP wine_i386 LABELS wine TIMEOUT 60)
  list(APPEND WINE_FIXTURES wine_i386)
endif()

add_test(NAME wine_template
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/make_template.sh
          --work ${WINE_WORK} --guest ${WINE_BUILD}/guest-x86_64 --guest32 ${WINE_BUILD}/guest-i686)
set_tests_properties(wine_template PROPERTIES FIXTURES_SETUP wine_prefix LABELS wine TIMEOUT 400)
if(ORBELLE_WINE_I686)
  set_tests_properties(wine_template PROPERTIES FIXTURES_REQUIRED wine_i386)
endif()

# One image a line of tests/wine/cases.txt: NAME IMAGE [shots], run as wine_NAME with the
# x86_64 exe and as wine_NAME_i686 with the i686 one.
set(WINE_EXE_x86_64 ${CMAKE_SOURCE_DIR}/build/win64/Uninstall.exe)
set(WINE_EXE_i686 ${CMAKE_SOURCE_DIR}/build/win32/Uninstall.exe)
set(WINE_SUFFIX_x86_64 "")
set(WINE_SUFFIX_i686 "_i686")
file(STRINGS ${CMAKE_SOURCE_DIR}/tests/wine/cases.txt WINE_CASES REGEX "^[a-z]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/cases.txt)
foreach(line IN LISTS WINE_CASES)
  string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
  list(GET fields 0 name)
  list(GET fields 1 image)
  set(extra)
  if("shots" IN_LIST fields)
    list(APPEND extra --shots)
  endif()
  set(arches x86_64)
  if(ORBELLE_WINE_I686)
    list(APPEND arches i686)
  endif()
  foreach(arch IN LISTS arches)
    set(test wine_${name}${WINE_SUFFIX_${arch}})
    add_test(NAME ${test}
      COMMAND bash ${WINE_DRIVER} --name ${name}${WINE_SUFFIX_${arch}}
              --image ${CMAKE_SOURCE_DIR}/${image}
              --base ${CMAKE_SOURCE_DIR}/examples/machines/installed
              --exe ${WINE_EXE_${arch}} --arch ${arch}
              --work ${WINE_WORK} --harness $<TARGET_FILE:wine-harness>
              --sim $<TARGET_FILE:uninstall-sim> ${extra})
    set_tests_properties(${test} PROPERTIES
      FIXTURES_REQUIRED "${WINE_FIXTURES}" LABELS wine TIMEOUT 240 SKIP_RETURN_CODE 77)
  endforeach()
endforeach()

# The signed release of the shipped exe (dist/Uninstall.exe, which scripts/release makes) on the
# default image under 32-bit Wine: the launcher copies the signed file and compares the copy
# with itself before the worker starts, and the run must match the emulated one as any case's
# does. Skipped before a release.
if(ORBELLE_WINE_I686)
  add_test(NAME wine_installed_signed_i686
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/release/wine_signed.sh
            ${CMAKE_SOURCE_DIR}/dist/Uninstall.exe --name installed_signed_i686
            --image ${CMAKE_SOURCE_DIR}/tests/wine/images/installed
            --base ${CMAKE_SOURCE_DIR}/examples/machines/installed --arch i686
            --work ${WINE_WORK} --harness $<TARGET_FILE:wine-harness>
            --sim $<TARGET_FILE:uninstall-sim>)
  set_tests_properties(wine_installed_signed_i686 PROPERTIES
    FIXTURES_REQUIRED "${WINE_FIXTURES}" LABELS "wine;release" TIMEOUT 240 SKIP_RETURN_CODE 77)
endif()

# The version resource of both exes, as Windows' version API reads it.
foreach(arch IN ITEMS x86_64 i686)
  set(test wine_version${WINE_SUFFIX_${arch}})
  add_test(NAME ${test}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/version_check.sh
            --exe ${WINE_EXE_${arch}} --work ${WINE_WORK})
  set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED wine_prefix LABELS wine TIMEOUT 120)
endforeach()

# The code page a program gets under Wine with the product's manifest (UTF-8) and without (the
# prefix's own, 1252), both Wines: what the Cyrillic case's success rests on.
foreach(arch IN ITEMS x86_64 i686)
  if(arch STREQUAL "i686" AND NOT ORBELLE_WINE_I686)
    continue()
  endif()
  set(test wine_cyrillic_codepage${WINE_SUFFIX_${arch}})
  add_test(NAME ${test}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/wine/codepage_check.sh --arch ${arch} --work ${WINE_WORK})
  set_tests_properties(${test} PROPERTIES
    FIXTURES_REQUIRED "${WINE_FIXTURES}" LABELS wine TIMEOUT 180 SKIP_RETURN_CODE 77)
endforeach()
