# uninstall-sim: the product run on an emulated PC from a machine image, with the default image
# (examples/machines/installed/) compiled in.
set(DEFAULT_IMAGE_DIR ${CMAKE_SOURCE_DIR}/examples/machines/installed)
set(DEFAULT_IMAGE_CPP ${CMAKE_BINARY_DIR}/generated/default_image.cpp)
set(EMBED_IMAGE_SCRIPT ${CMAKE_SOURCE_DIR}/tools/uninstall_sim/embed_image.cmake)
file(GLOB_RECURSE DEFAULT_IMAGE_FILES CONFIGURE_DEPENDS ${DEFAULT_IMAGE_DIR}/*)

add_custom_command(
  OUTPUT ${DEFAULT_IMAGE_CPP}
  COMMAND ${CMAKE_COMMAND} -DIMAGE_DIR=${DEFAULT_IMAGE_DIR}
          -DIMAGE_NAME=examples/machines/installed -DOUTPUT=${DEFAULT_IMAGE_CPP}
          -P ${EMBED_IMAGE_SCRIPT}
  DEPENDS ${EMBED_IMAGE_SCRIPT} ${DEFAULT_IMAGE_FILES}
  COMMENT "Embedding the default machine image"
  VERBATIM)

add_executable(uninstall-sim ${CMAKE_SOURCE_DIR}/tools/uninstall_sim/main.cpp ${DEFAULT_IMAGE_CPP})
target_include_directories(uninstall-sim PRIVATE ${CMAKE_SOURCE_DIR}/tools/uninstall_sim)
target_link_libraries(uninstall-sim PRIVATE machine_image product emulator pe_runner)
target_compile_options(uninstall-sim PRIVATE ${WARNINGS})

# Exit statuses of the command line, run for real: see tools/uninstall_sim/sim_exit_test.cmake.
foreach(case IN ITEMS usage missing_out bad_reg bad_scenario bad_race foreign_out default_image
                      rerun stopped race_swapped_copy race_held_copy help exe_missing exe_win32
                      exe_win64)
  add_test(NAME uninstall_sim_${case}
           COMMAND ${CMAKE_COMMAND} -DSIM=$<TARGET_FILE:uninstall-sim> -DCASE=${case}
                   -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DWORK_DIR=${CMAKE_BINARY_DIR}/sim_tests/${case}
                   -P ${CMAKE_SOURCE_DIR}/tools/uninstall_sim/sim_exit_test.cmake)
endforeach()
