# One command line of a host tool, run for real and held to its exit status and to a pattern
# its stdout or stderr must show. Run with -P:
#   cmake -DCOMMAND="tool|arg|..." -DSTATUS=N -DSTREAM=stdout|stderr -DPATTERN=regex -P ...
# The arguments are separated by '|' because add_test would split a CMake list apart.
cmake_minimum_required(VERSION 3.20)

string(REPLACE "|" ";" command "${COMMAND}")
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE stdout
                ERROR_VARIABLE stderr)
if(NOT status EQUAL STATUS)
  message(FATAL_ERROR "${command}: exit ${status}, expected ${STATUS}\n"
                      "stdout:\n${stdout}\nstderr:\n${stderr}")
endif()
if(NOT "${${STREAM}}" MATCHES "${PATTERN}")
  message(FATAL_ERROR "${command}: \"${PATTERN}\" not found on ${STREAM}:\n${${STREAM}}")
endif()
