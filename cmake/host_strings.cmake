# The program's resources on the host: the emulator's string table takes the texts of
# res/messages.h, as res/strings.rc does for Uninstall.exe (the PE checks hold the two tables
# equal), and the tool that draws res/orbelle.ico.
target_include_directories(emulator PRIVATE ${CMAKE_SOURCE_DIR}/res)

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
