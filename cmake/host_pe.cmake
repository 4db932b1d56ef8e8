# PE inspection: pe-inspect (a report of a PE file, for people and scripts/bench) and the checks
# of the two built Uninstall.exe files, CTest label "pe". The exes come from the win32 and win64
# presets, which scripts/test builds before it runs the tests; a missing exe fails its tests.
add_library(pe_inspect_lib STATIC
  ${CMAKE_SOURCE_DIR}/tools/pe_inspect/cpu_level.cpp
  ${CMAKE_SOURCE_DIR}/tools/pe_inspect/disassembly.cpp
  ${CMAKE_SOURCE_DIR}/tools/pe_inspect/map_file.cpp
  ${CMAKE_SOURCE_DIR}/tools/pe_inspect/pe_image.cpp
  ${CMAKE_SOURCE_DIR}/tools/pe_inspect/pe_imports.cpp
  ${CMAKE_SOURCE_DIR}/tools/pe_inspect/pe_resources.cpp
  ${CMAKE_SOURCE_DIR}/tools/pe_inspect/pe_version.cpp
  ${CMAKE_SOURCE_DIR}/tools/pe_inspect/report.cpp)
target_include_directories(pe_inspect_lib PUBLIC ${CMAKE_SOURCE_DIR}/tools/pe_inspect)
target_compile_options(pe_inspect_lib PRIVATE ${WARNINGS})

add_executable(pe-inspect ${CMAKE_SOURCE_DIR}/tools/pe_inspect/main.cpp)
target_link_libraries(pe-inspect PRIVATE pe_inspect_lib)
target_compile_options(pe-inspect PRIVATE ${WARNINGS})

if(NOT GTest_FOUND)
  return()
endif()
file(GLOB PE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/pe/*.cpp)
add_executable(pe_tests ${PE_TEST_SOURCES})
# emulator: for its string table, which the exe's must equal.
target_link_libraries(pe_tests PRIVATE pe_inspect_lib emulator GTest::gtest_main)
target_compile_options(pe_tests PRIVATE ${WARNINGS})
# The disassembler of the processor checks: binutils' own (it decodes i386 and x86-64 alike).
find_program(PE_OBJDUMP NAMES objdump i686-w64-mingw32-objdump REQUIRED)
target_compile_definitions(pe_tests PRIVATE PE_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  PE_TEST_OBJDUMP="${PE_OBJDUMP}")
gtest_discover_tests(pe_tests DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES PROPERTIES LABELS pe)

# The post-link step of the Windows builds, tested here on the host.
target_sources(pe_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/pe_fold/reloc_fold.cpp)
target_include_directories(pe_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/pe_fold)
