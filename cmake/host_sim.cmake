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
foreach(case IN ITEMS usage two_folders missing_out bad_reg bad_scenario bad_race foreign_out default_image
                      rerun stopped race_swapped_copy race_held_copy help exe_missing exe_win32
                      exe_win64)
  add_test(NAME uninstall_sim_${case}
           COMMAND ${CMAKE_COMMAND} -DSIM=$<TARGET_FILE:uninstall-sim> -DCASE=${case}
                   -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DWORK_DIR=${CMAKE_BINARY_DIR}/sim_tests/${case}
                   -P ${CMAKE_SOURCE_DIR}/tools/uninstall_sim/sim_exit_test.cmake)
endforeach()
# The signed release (scripts/release) runs as the preset's exe does; skipped before a release.
add_test(NAME uninstall_sim_exe_signed
         COMMAND ${CMAKE_COMMAND} -DSIM=$<TARGET_FILE:uninstall-sim> -DCASE=exe_signed
                 -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DWORK_DIR=${CMAKE_BINARY_DIR}/sim_tests/exe_signed
                 -P ${CMAKE_SOURCE_DIR}/tools/uninstall_sim/sim_exit_test.cmake)
set_tests_properties(uninstall_sim_exe_signed PROPERTIES LABELS release
  SKIP_REGULAR_EXPRESSION "no dist/Uninstall.exe: run ./scripts/release first")

# Machine images of tests/images/ that have an expected outcome in tests/outcomes/ of the same
# name: each runs on the host build and through both real exes, which must all give that outcome.
file(GLOB IMAGE_OUTCOMES RELATIVE ${CMAKE_SOURCE_DIR}/tests/outcomes CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/tests/outcomes/*)
foreach(name IN LISTS IMAGE_OUTCOMES)
  foreach(way IN ITEMS host win32 win64)
    set(exe_arg)
    if(NOT way STREQUAL "host")
      set(exe_arg -DEXE=${CMAKE_SOURCE_DIR}/build/${way}/Uninstall.exe)
    endif()
    add_test(NAME image_${name}_${way}
             COMMAND ${CMAKE_COMMAND} -DSIM=$<TARGET_FILE:uninstall-sim>
                     -DIMAGE=${CMAKE_SOURCE_DIR}/tests/images/${name}
                     -DEXPECTED=${CMAKE_SOURCE_DIR}/tests/outcomes/${name} ${exe_arg}
                     -DWORK_DIR=${CMAKE_BINARY_DIR}/image_tests/${name}_${way}
                     -P ${CMAKE_SOURCE_DIR}/tools/uninstall_sim/image_outcome_test.cmake)
  endforeach()
endforeach()
