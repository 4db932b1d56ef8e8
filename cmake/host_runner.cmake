# pe_runner: runs a real Uninstall.exe (i386 or x86_64 PE) on an emulated CPU (Unicorn 2,
# Debian's libunicorn-dev) with its imports bridged to the emulated machine.
find_path(UNICORN_INCLUDE_DIR unicorn/unicorn.h REQUIRED)
find_library(UNICORN_LIBRARY unicorn REQUIRED)

file(GLOB PE_RUNNER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/pe_runner/*.cpp)
add_library(pe_runner STATIC ${PE_RUNNER_SOURCES})
target_include_directories(pe_runner PUBLIC ${CMAKE_SOURCE_DIR}/tools/pe_runner ${UNICORN_INCLUDE_DIR})
target_link_libraries(pe_runner PUBLIC emulator pe x86_check ${UNICORN_LIBRARY})
target_compile_options(pe_runner PRIVATE ${WARNINGS})

# The runner's own checks, on the exes of the win32 and win64 presets (label "runner"); a
# missing exe fails them.
if(NOT GTest_FOUND)
  return()
endif()
file(GLOB RUNNER_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/runner/*.cpp)
add_executable(runner_tests ${RUNNER_TEST_SOURCES})
target_link_libraries(runner_tests PRIVATE pe_runner GTest::gtest_main)
target_compile_options(runner_tests PRIVATE ${WARNINGS})
target_compile_definitions(runner_tests PRIVATE PE_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(runner_tests DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES PROPERTIES LABELS runner)

# The Wine suite's images three ways without Wine: uninstall-sim with the host build against
# uninstall-sim --exe with each exe (tests/wine/three_ways.sh), one test an image.
file(STRINGS ${CMAKE_SOURCE_DIR}/tests/wine/cases.txt THREE_WAY_CASES REGEX "^[^#]")
foreach(line IN LISTS THREE_WAY_CASES)
  string(REGEX MATCH "^([^ \t]+)[ \t]+([^ \t]+)" matched "${line}")
  if(NOT matched)
    continue()
  endif()
  add_test(NAME three_ways_${CMAKE_MATCH_1}
           COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/three_ways.sh --name ${CMAKE_MATCH_1}
                   --image ${CMAKE_SOURCE_DIR}/${CMAKE_MATCH_2}
                   --base ${CMAKE_SOURCE_DIR}/examples/machines/installed
                   --sim $<TARGET_FILE:uninstall-sim>
                   --work ${CMAKE_BINARY_DIR}/three_ways/${CMAKE_MATCH_1}
                   ${CMAKE_SOURCE_DIR}/build/win32/Uninstall.exe
                   ${CMAKE_SOURCE_DIR}/build/win64/Uninstall.exe)
  set_tests_properties(three_ways_${CMAKE_MATCH_1} PROPERTIES LABELS runner)
endforeach()
