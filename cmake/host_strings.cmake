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
