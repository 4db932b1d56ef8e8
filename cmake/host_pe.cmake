# PE inspection: pe-inspect (a report of a PE file, for people and scripts/bench) and the checks
# of the two built Uninstall.exe files, CTest label "pe". The exes come from the win32 and win64
# presets, which scripts/test builds before it runs the tests; a missing exe fails its tests.
# The PE library (tools/pe/): headers, sections, imports, base relocations, resources and the
# version resource, read with bounds checks, and the link map; pe-inspect, the checks, the
# runner's loader and pe-fold read PE files through it.
file(GLOB PE_LIBRARY_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/pe/*.cpp)
add_library(pe STATIC ${PE_LIBRARY_SOURCES})
target_include_directories(pe PUBLIC ${CMAKE_SOURCE_DIR}/tools/pe)
target_compile_options(pe PRIVATE ${WARNINGS})

# Which processor brought an instruction, on Zydis' decoder (Debian's libzydis-dev): for the
# link-map check here and the runner's walk over each block it enters.
find_path(ZYDIS_INCLUDE_DIR Zydis/Zydis.h REQUIRED)
find_library(ZYDIS_LIBRARY Zydis REQUIRED)
add_library(x86_check STATIC ${CMAKE_SOURCE_DIR}/tools/x86/i386_check.cpp)
target_include_directories(x86_check PUBLIC ${CMAKE_SOURCE_DIR}/tools/x86 ${ZYDIS_INCLUDE_DIR})
target_link_libraries(x86_check PUBLIC ${ZYDIS_LIBRARY})
target_compile_options(x86_check PRIVATE ${WARNINGS})

add_executable(pe-inspect ${CMAKE_SOURCE_DIR}/tools/pe_inspect/main.cpp
  ${CMAKE_SOURCE_DIR}/tools/pe_inspect/report.cpp)
target_link_libraries(pe-inspect PRIVATE pe)
target_compile_options(pe-inspect PRIVATE ${WARNINGS})

if(NOT GTest_FOUND)
  return()
endif()
file(GLOB PE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/pe/*.cpp)
add_executable(pe_tests ${PE_TEST_SOURCES})
# emulator: for its string table, which the exe's must equal.
target_link_libraries(pe_tests PRIVATE pe x86_check emulator GTest::gtest_main)
target_compile_options(pe_tests PRIVATE ${WARNINGS})
target_compile_definitions(pe_tests PRIVATE PE_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(pe_tests DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES PROPERTIES LABELS pe)

# The post-link step of the Windows builds, tested here on the host.
target_sources(pe_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/pe_fold/reloc_fold.cpp)
target_include_directories(pe_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/pe_fold)
