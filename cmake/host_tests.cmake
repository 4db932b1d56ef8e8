# unit_tests: every tests/*.cpp (and the shared helpers in tests/support/) in one GoogleTest
# executable, linked with the product and the emulated machine.
file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/*.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(unit_tests PRIVATE product emulator pe_runner GTest::gtest_main)
# Whole runs go three ways: the host build and the two exes of the win32 and win64 presets.
target_compile_definitions(unit_tests PRIVATE ORBELLE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_compile_options(unit_tests PRIVATE ${WARNINGS})
# The image reader and writer have their own tests here too.
target_link_libraries(unit_tests PRIVATE machine_image)

gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES)
