# The command lines of pe-inspect and wine-harness, run for real (uninstall-sim's have their
# own cases in tools/uninstall_sim/sim_exit_test.cmake): --help exits 0 on stdout, a usage
# error exits 2 and says what was wrong.
# Each row: NAME|TOOL|STATUS|STREAM|PATTERN|ARGUMENTS...
set(CLI_CASES
  "pe_inspect_help|pe-inspect|0|stdout|usage: pe-inspect FILE.exe \\[--map FILE.map\\]|--help"
  "pe_inspect_no_file|pe-inspect|2|stderr|usage: pe-inspect|--brief"
  "pe_inspect_unknown|pe-inspect|2|stderr|--bogus|a.exe|--bogus"
  "pe_inspect_map_value|pe-inspect|2|stderr|--map|a.exe|--map"
  "pe_inspect_two_files|pe-inspect|2|stderr|b.exe|a.exe|b.exe"
  "wine_harness_help|wine-harness|0|stdout|sim-image|--help"
  "wine_harness_no_command|wine-harness|2|stderr|usage: wine-harness prepare.sim-image.check"
  "wine_harness_unknown_command|wine-harness|2|stderr|frob|frob|--image|a"
  "wine_harness_missing|wine-harness|2|stderr|--exe|prepare|--image|a|--prefix|b"
  "wine_harness_unknown|wine-harness|2|stderr|--colour|sim-image|--image|a|--results|b|--out|c|--colour|red"
  "wine_harness_timeout|wine-harness|2|stderr|--timeout-ms|prepare|--image|a|--prefix|b|--exe|c|--timeout-ms|soon"
  "wine_harness_flag_value|wine-harness|2|stderr|--summary|check|--image|a|--prefix|b|--template|c|--results|d|--outcome|e|--summary=maybe")
foreach(row IN LISTS CLI_CASES)
  string(REPLACE "|" ";" fields "${row}")
  list(POP_FRONT fields name tool status stream pattern)
  list(JOIN fields "|" arguments)
  add_test(NAME cli_${name}
           COMMAND ${CMAKE_COMMAND} "-DCOMMAND=$<TARGET_FILE:${tool}>|${arguments}"
                   -DSTATUS=${status} -DSTREAM=${stream} "-DPATTERN=${pattern}"
                   -P ${CMAKE_SOURCE_DIR}/tests/cli/exit_status.cmake)
endforeach()
