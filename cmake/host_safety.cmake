# The safety campaign's oracle (tests/safety/: machine states, the footprint, what the uninstaller
# makes of an image, the verdict on a run, the machine generator) as a library, shared by the
# safety tests and the whole-run fuzz target; and safety_tests, the fault sweep and the
# property test on generated machines, in their own GoogleTest executable so the unit tests
# stay quick to run on their own.
file(GLOB SAFETY_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/safety/*.cpp)
set(SAFETY_TEST_SOURCES ${SAFETY_SOURCES})
list(FILTER SAFETY_SOURCES EXCLUDE REGEX "_test\\.cpp$")
list(FILTER SAFETY_TEST_SOURCES INCLUDE REGEX "_test\\.cpp$")

add_library(safety_oracle STATIC ${SAFETY_SOURCES}
  ${CMAKE_SOURCE_DIR}/tests/support/run_support.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/three_way.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/machine_lines.cpp)
target_include_directories(safety_oracle PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(safety_oracle PUBLIC product emulator machine_image pe_runner GTest::gtest)
target_compile_options(safety_oracle PRIVATE ${WARNINGS})
target_compile_definitions(safety_oracle PRIVATE ORBELLE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

add_executable(safety_tests ${SAFETY_TEST_SOURCES}
  ${CMAKE_SOURCE_DIR}/tests/support/installed_machine.cpp)
target_link_libraries(safety_tests PRIVATE safety_oracle GTest::gtest_main)
target_compile_options(safety_tests PRIVATE ${WARNINGS})
# The unit tests' installed machine is read from the example image in the source tree.
target_compile_definitions(safety_tests PRIVATE ORBELLE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

gtest_discover_tests(safety_tests DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES PROPERTIES LABELS safety)

# runner-bench: the runner's speed figures for scripts/bench (the default image three ways,
# generated images a second through the i686 exe).
add_executable(runner-bench ${CMAKE_SOURCE_DIR}/tools/runner_bench/main.cpp)
target_link_libraries(runner-bench PRIVATE safety_oracle pe_runner)
target_compile_options(runner-bench PRIVATE ${WARNINGS})
