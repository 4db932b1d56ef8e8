# One command-line case of uninstall-sim, run for real and judged by exit status and by what
# it leaves in OUT_DIR. Run with -P:
#   cmake -DSIM=<uninstall-sim> -DCASE=<name> -DSOURCE_DIR=<repo> -DWORK_DIR=<scratch> -P ...
cmake_minimum_required(VERSION 3.20)

set(IMAGES ${SOURCE_DIR}/tests/images)
set(OUT ${WORK_DIR}/out)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(run_sim expected_status)
  execute_process(COMMAND ${SIM} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "uninstall-sim ${ARGN}: exit ${status}, expected ${expected_status}\n"
                        "stdout:\n${out}\nstderr:\n${err}")
  endif()
  set(sim_stdout "${out}" PARENT_SCOPE)
  set(sim_stderr "${err}" PARENT_SCOPE)
endfunction()

function(expect_in text pattern what)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: \"${pattern}\" not found in:\n${text}")
  endif()
endfunction()

function(expect_not_in text pattern what)
  if(text MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: \"${pattern}\" should not be in:\n${text}")
  endif()
endfunction()

function(expect_exists path)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "expected ${path} to exist")
  endif()
endfunction()

function(expect_missing path)
  if(EXISTS "${path}")
    message(FATAL_ERROR "expected ${path} not to exist")
  endif()
endfunction()

# Reads a UTF-16LE outcome registry as text (regedit's Version 5.00 form) or an ANSI one.
function(read_registry file out_var)
  file(STRINGS "${file}" lines ENCODING UTF-16LE)
  if(NOT lines)
    file(STRINGS "${file}" lines)
  endif()
  string(JOIN "\n" text ${lines})
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

if(CASE STREQUAL "usage")
  run_sim(2 --bogus --out ${OUT})
  expect_in("${sim_stderr}" "unknown option --bogus" "usage error message")
  expect_missing(${OUT})

elseif(CASE STREQUAL "two_folders")
  run_sim(2 ${IMAGES}/bad_reg_line ${IMAGES}/bad_scenario --out ${OUT})
  expect_in("${sim_stderr}" "more than one session folder: [^\n]*bad_reg_line and [^\n]*bad_scenario"
            "both folders named")
  expect_missing(${OUT})

elseif(CASE STREQUAL "missing_out")
  run_sim(2 ${SOURCE_DIR}/examples/machines/installed)
  expect_in("${sim_stderr}" "missing --out" "usage error message")

elseif(CASE STREQUAL "bad_reg")
  run_sim(2 ${IMAGES}/bad_reg_line --out ${OUT})
  expect_in("${sim_stderr}" "bad_reg_line/registry.reg:9: " "file and line of the bad line")
  expect_missing(${OUT})

elseif(CASE STREQUAL "bad_scenario")
  run_sim(2 ${IMAGES}/bad_scenario --out ${OUT})
  expect_in("${sim_stderr}" "bad_scenario/scenario.ini:6: unknown key \"answer\"" "file and line")
  expect_missing(${OUT})

elseif(CASE STREQUAL "foreign_out")
  # A folder that is not an earlier outcome must survive untouched.
  file(WRITE ${OUT}/notes.txt "mine")
  run_sim(2 --out ${OUT})
  expect_in("${sim_stderr}" "notes.txt" "refusal names the stranger")
  file(GLOB left RELATIVE ${OUT} ${OUT}/*)
  if(NOT left STREQUAL "notes.txt")
    message(FATAL_ERROR "the refused folder was changed: ${left}")
  endif()

elseif(CASE STREQUAL "default_image" OR CASE STREQUAL "rerun")
  run_sim(0 --out ${OUT})
  if(CASE STREQUAL "rerun")
    file(WRITE ${OUT}/drive_c/stale.txt "from the first run")
    run_sim(0 --out ${OUT})
    expect_missing(${OUT}/drive_c/stale.txt)
  endif()
  set(install "${OUT}/drive_c/Program Files/Orbelle")
  expect_missing("${install}/Orbelle.exe")
  expect_missing("${install}/Uninstall.exe")
  expect_exists("${install}/garden.wrl")
  expect_missing("${OUT}/drive_c/WINDOWS/Start Menu/Programs/Halcyra/Orbelle")
  expect_exists("${OUT}/drive_c/WINDOWS/Start Menu/Programs/Halcyra/Ferrowind/Ferrowind.lnk")
  expect_exists("${OUT}/drive_c/WINDOWS/TEMP/obuninst.tmp")
  read_registry(${OUT}/registry.reg registry)
  expect_in("${registry}" "^REGEDIT4" "outcome header")
  expect_not_in("${registry}" "\\[HKEY_CLASSES_ROOT\\\\Orbelle\\]" "product class")
  expect_not_in("${registry}" "Uninstall\\\\Orbelle\\]" "uninstall entry")
  expect_in("${registry}" "\\[HKEY_CLASSES_ROOT\\\\.wrl\\]\n@=\"wrlfile\"" "restored class")
  expect_in("${registry}" "\\[HKEY_CLASSES_ROOT\\\\.x3d\\\\UndoClass\\]" "other viewer's key")
  file(READ ${OUT}/transcript.jsonl transcript)
  expect_in("${transcript}" "^{\"event\":\"start\",\"process\":1,\"image\":\"C:\\\\\\\\Program Files"
            "first event")
  expect_in("${transcript}" "\"answer\":\"IDYES\"" "confirmation answered")
  expect_in("${transcript}" "{\"event\":\"exit\",\"process\":2,\"code\":0}" "worker exit")
  expect_in("${sim_stdout}" "Uninstall successfully completed." "readable transcript")

elseif(CASE STREQUAL "stopped")
  # A program file held open for ever while every in-use prompt is answered OK: the run can
  # never end, and the simulator must stop it and still write what happened.
  file(COPY ${SOURCE_DIR}/examples/machines/installed/ DESTINATION ${WORK_DIR}/image)
  file(WRITE ${WORK_DIR}/image/scenario.ini
       "[run]\nanswers=yes\n[locked]\nC:\\Program Files\\Orbelle\\Orbelle.hlp=always\n")
  run_sim(3 ${WORK_DIR}/image --out ${OUT})
  file(READ ${OUT}/transcript.jsonl transcript)
  expect_in("${transcript}" "{\"event\":\"exit\",\"process\":1,\"code\":0}" "launcher exit")
  expect_not_in("${transcript}" "\"event\":\"exit\",\"process\":2" "unfinished worker")
  expect_exists(${OUT}/registry.reg)
  expect_in("${sim_stdout}" "Stopped after 2000 message boxes" "readable transcript")

elseif(CASE STREQUAL "bad_race")
  file(COPY ${SOURCE_DIR}/examples/machines/installed/ DESTINATION ${WORK_DIR}/image)
  file(WRITE ${WORK_DIR}/image/scenario.ini "[run]\nanswers=yes\n[race]\nafter=CopyFileA#1 burn C:\\x\n")
  run_sim(2 ${WORK_DIR}/image --out ${OUT})
  expect_in("${sim_stderr}" "image/scenario.ini:4: unknown race action" "file and line")
  expect_missing(${OUT})

elseif(CASE STREQUAL "race_swapped_copy")
  # Another program puts a foreign exe at the copy's name before the launcher opens it: the
  # launcher starts nothing, reports the internal error and leaves the product registered.
  file(COPY ${SOURCE_DIR}/examples/machines/installed/ DESTINATION ${WORK_DIR}/image)
  file(WRITE ${WORK_DIR}/image/scenario.ini "[run]\nanswers=yes\n[race]\n"
       "after=CopyFileA#1 replace C:\\WINDOWS\\TEMP\\obuninst.tmp=C:\\WINDOWS\\NOTEPAD.EXE\n")
  run_sim(0 ${WORK_DIR}/image --out ${OUT} --trace)
  expect_in("${sim_stdout}" "race after CopyFileA#1: replace" "the race in the trace")
  expect_not_in("${sim_stdout}" "skipped" "the race was carried out")
  file(READ ${OUT}/transcript.jsonl transcript)
  expect_not_in("${transcript}" "\"process\":2" "no worker")
  expect_in("${transcript}" "Internal error" "the internal error")
  read_registry(${OUT}/registry.reg registry)
  expect_in("${registry}" "Uninstall\\\\Orbelle\\]" "uninstall entry kept")

elseif(CASE STREQUAL "race_held_copy")
  # The same program once the launcher holds the copy open: the swap is refused.
  file(COPY ${SOURCE_DIR}/examples/machines/installed/ DESTINATION ${WORK_DIR}/image)
  file(WRITE ${WORK_DIR}/image/scenario.ini "[run]\nanswers=yes\n[race]\n"
       "after=ReadFile#1 replace C:\\WINDOWS\\TEMP\\obuninst.tmp=C:\\WINDOWS\\NOTEPAD.EXE\n")
  run_sim(0 ${WORK_DIR}/image --out ${OUT} --trace)
  expect_in("${sim_stdout}" "replace [^\n]* skipped: ERROR_SHARING_VIOLATION" "the refused race")
  file(READ ${OUT}/transcript.jsonl transcript)
  expect_in("${transcript}" "{\"event\":\"exit\",\"process\":2,\"code\":0}" "worker exit")
  expect_in("${sim_stdout}" "Uninstall successfully completed." "the worker's success")

elseif(CASE STREQUAL "help")
  run_sim(0 --help)
  expect_in("${sim_stdout}" "usage: uninstall-sim \\[--exe PATH.exe\\]" "usage on stdout")

elseif(CASE STREQUAL "exe_missing")
  run_sim(2 --exe ${WORK_DIR}/none.exe --out ${OUT})
  expect_in("${sim_stderr}" "cannot read the exe" "names the exe")
  expect_missing(${OUT})

elseif(CASE MATCHES "^exe_(win32|win64|signed)$")
  # The real exe of that preset (or the signed release of the win32 one, dist/Uninstall.exe) on
  # the default image: the same outcome and transcript as the host build's, byte for byte but
  # the copies' contents (the exe, not the image's stand-in).
  if(CASE STREQUAL "exe_signed")
    set(exe ${SOURCE_DIR}/dist/Uninstall.exe)
    if(NOT EXISTS ${exe})
      message(FATAL_ERROR "no dist/Uninstall.exe: run ./scripts/release first")
    endif()
  else()
    set(exe ${SOURCE_DIR}/build/${CMAKE_MATCH_1}/Uninstall.exe)
  endif()
  expect_exists(${exe})
  run_sim(0 --out ${WORK_DIR}/host)
  run_sim(0 --exe ${exe} --out ${OUT} --trace)
  expect_not_in("${sim_stderr}" "faulted" "a clean run")
  foreach(file transcript.jsonl registry.reg)
    file(READ ${WORK_DIR}/host/${file} expected)
    file(READ ${OUT}/${file} actual)
    if(NOT expected STREQUAL actual)
      message(FATAL_ERROR "${file} differs from the host build's run")
    endif()
  endforeach()
  expect_in("${sim_stdout}" "SetDefaultDllDirectories\\(0x800\\) = TRUE" "the trace")
  # The launcher copies its own file, signature and all, and starts the copy only once the copy
  # reads back the same bytes: the worker's clean exit above says the check passed.
  file(SHA256 ${exe} exe_sum)
  file(SHA256 ${OUT}/drive_c/WINDOWS/TEMP/obuninst.tmp copy_sum)
  if(NOT exe_sum STREQUAL copy_sum)
    message(FATAL_ERROR "the worker's copy obuninst.tmp is not the exe's bytes")
  endif()

else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
