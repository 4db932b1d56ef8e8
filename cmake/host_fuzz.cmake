# libFuzzer targets (fuzz/): the command-tail rule, the .reg and scenario.ini readers, and a
# whole uninstall on a fuzzed image. They need clang's -fsanitize=fuzzer, so they are built in
# a build folder of their own, configured by scripts/fuzz with ORBELLE_FUZZ=ON and every
# source instrumented (fuzzer-no-link, AddressSanitizer, UndefinedBehaviorSanitizer).
# The ordinary host build instead gets a test that runs scripts/fuzz for a few seconds per
# target from the corpus kept in fuzz/corpus/.
set(FUZZ_TARGETS command_tail reg_file scenario whole_run)

if(ORBELLE_FUZZ)
  foreach(target IN LISTS FUZZ_TARGETS)
    add_executable(fuzz_${target} ${CMAKE_SOURCE_DIR}/fuzz/${target}_fuzz.cpp)
    target_link_libraries(fuzz_${target} PRIVATE safety_oracle)
    target_compile_options(fuzz_${target} PRIVATE ${WARNINGS})
    target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  endforeach()
elseif(NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
  # The sanitizer build needs no second run: the fuzz targets carry the sanitizers already.
  add_test(NAME fuzz_smoke
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/fuzz --seconds 3 --build ${CMAKE_BINARY_DIR}/fuzz)
  set_tests_properties(fuzz_smoke PROPERTIES LABELS fuzz TIMEOUT 1800)
endif()
