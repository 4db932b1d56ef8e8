# The program's resources on the host: the emulator's string table, generated from
# res/strings.rc (the one source of the texts, which windres compiles into Uninstall.exe), and
# the tool that draws res/orbelle.ico.
add_library(rc_strings_lib STATIC
  ${CMAKE_SOURCE_DIR}/tools/rc_strings/lexer.cpp
  ${CMAKE_SOURCE_DIR}/tools/rc_strings/string_literal.cpp
  ${CMAKE_SOURCE_DIR}/tools/rc_strings/string_script.cpp
  ${CMAKE_SOURCE_DIR}/tools/rc_strings/table_source.cpp)
target_include_directories(rc_strings_lib PUBLIC ${CMAKE_SOURCE_DIR}/tools/rc_strings)
target_compile_options(rc_strings_lib PRIVATE ${WARNINGS})

add_executable(rc_strings ${CMAKE_SOURCE_DIR}/tools/rc_strings/main.cpp)
target_link_libraries(rc_strings PRIVATE rc_strings_lib)
target_compile_options(rc_strings PRIVATE ${WARNINGS})

set(EMULATOR_STRING_TABLE ${CMAKE_BINARY_DIR}/generated/string_table.cpp)
add_custom_command(OUTPUT ${EMULATOR_STRING_TABLE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND rc_strings ${CMAKE_SOURCE_DIR}/res/strings.rc -I ${CMAKE_SOURCE_DIR}/src
          -o ${EMULATOR_STRING_TABLE} --depfile ${EMULATOR_STRING_TABLE}.d
  DEPENDS rc_strings ${CMAKE_SOURCE_DIR}/res/strings.rc
  DEPFILE ${EMULATOR_STRING_TABLE}.d
  COMMENT "Generating the emulator's string table from res/strings.rc"
  VERBATIM)
target_sources(emulator PRIVATE ${EMULATOR_STRING_TABLE})

if(GTest_FOUND)
  file(GLOB RC_STRINGS_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/rc_strings/*.cpp)
  add_executable(rc_strings_tests ${RC_STRINGS_TEST_SOURCES})
  target_link_libraries(rc_strings_tests PRIVATE rc_strings_lib GTest::gtest_main)
  target_compile_options(rc_strings_tests PRIVATE ${WARNINGS})
  # The cross-check against the resource compiler needs windres; without it those cases fail.
  find_program(RC_STRINGS_WINDRES NAMES x86_64-w64-mingw32-windres i686-w64-mingw32-windres
                                        windres)
  target_compile_definitions(rc_strings_tests PRIVATE
    RC_STRINGS_WINDRES="${RC_STRINGS_WINDRES}"
    RC_STRINGS_SCRIPT="${CMAKE_SOURCE_DIR}/res/strings.rc"
    RC_STRINGS_INCLUDE_DIR="${CMAKE_SOURCE_DIR}/src")
  gtest_discover_tests(rc_strings_tests DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES
                       PROPERTIES LABELS tools)
endif()

file(GLOB MAKE_ICON_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_icon/*.cpp)
add_executable(make-icon ${MAKE_ICON_SOURCES})
target_compile_options(make-icon PRIVATE ${WARNINGS})
add_test(NAME committed_icon_is_the_drawing
  COMMAND make-icon --check ${CMAKE_SOURCE_DIR}/res/orbelle.ico)
set_tests_properties(committed_icon_is_the_drawing PROPERTIES LABELS tools)

# The emulator reads the host build's application manifest as Windows reads an exe's: the same
# res/uninstall.manifest that windres puts into Uninstall.exe, compiled in byte for byte.
set(EMULATOR_PRODUCT_MANIFEST ${CMAKE_BINARY_DIR}/generated/product_manifest.cpp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/uninstall.manifest)
file(READ ${CMAKE_SOURCE_DIR}/res/uninstall.manifest PRODUCT_MANIFEST_HEX HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," PRODUCT_MANIFEST_BYTES "${PRODUCT_MANIFEST_HEX}")
file(CONFIGURE OUTPUT ${EMULATOR_PRODUCT_MANIFEST} CONTENT
"// Generated from res/uninstall.manifest by cmake/host_strings.cmake.
#include \"code_page.h\"

namespace emu {
namespace {
constexpr char kManifest[] = {@PRODUCT_MANIFEST_BYTES@ '\\0'};
}  // namespace

std::string_view ProductManifest() {
  return std::string_view(kManifest, sizeof kManifest - 1);
}

}  // namespace emu
" @ONLY)
target_sources(emulator PRIVATE ${EMULATOR_PRODUCT_MANIFEST})
