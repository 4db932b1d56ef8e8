# libFuzzer targets (fuzz/): the command-tail rule, the .reg and scenario.ini readers, and a
# whole uninstall on a fuzzed image. They need clang's -fsanitize=fuzzer, so they are built in
# a build folder of their own, configured by scripts/fuzz with ORBELLE_FUZZ=ON and every
# source instrumented (fuzzer-no-link, AddressSanitizer, UndefinedBehaviorSanitizer).
# scripts/test runs each for a few seconds from the corpus kept in fuzz/corpus/.
set(FUZZ_TARGETS command_tail reg_file scenario whole_run)

if(ORBELLE_FUZZ)
  foreach(target IN LISTS FUZZ_TARGETS)
    add_executable(fuzz_${target} ${CMAKE_SOURCE_DIR}/fuzz/${target}_fuzz.cpp)
    target_link_libraries(fuzz_${target} PRIVATE safety_oracle)
    target_compile_options(fuzz_${target} PRIVATE ${WARNINGS})
    target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  endforeach()
endif()
