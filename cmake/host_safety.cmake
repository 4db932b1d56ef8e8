# safety_tests: the fault sweep and the property test on generated machines (tests/safety/),
# in their own GoogleTest executable, so the unit tests stay quick to run on their own.
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB SAFETY_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/safety/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_executable(safety_tests ${SAFETY_TEST_SOURCES})
target_include_directories(safety_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(safety_tests PRIVATE product emulator machine_image GTest::gtest_main)
target_compile_options(safety_tests PRIVATE ${WARNINGS})
target_compile_definitions(safety_tests PRIVATE ORBELLE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

gtest_discover_tests(safety_tests DISCOVERY_TIMEOUT 30 PROPERTIES LABELS safety)
