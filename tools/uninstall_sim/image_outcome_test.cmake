# One machine image run through uninstall-sim and held to its expected outcome folder by
# content: the same files and folders, every file byte for byte (registry.reg, attributes.ini,
# transcript.jsonl and the drives), and no attributes.ini where none is expected. Run with -P:
#   cmake -DSIM=<uninstall-sim> -DIMAGE=<image> -DEXPECTED=<outcome> -DWORK_DIR=<scratch>
#         [-DEXE=<Uninstall.exe>] -P ...
# With EXE the image runs through that exe on the emulated CPU: it must come out as the host
# build's expected outcome does.
#
# An expected folder marks an empty folder with a file named .keep (git keeps no empty folders).
# The contents of obuninst.tmp and of a launcher's Uninstall.exe that stays are not compared:
# they are whichever program ran, the image's stand-in on the host build and the real exe's
# bytes under EXE.
cmake_minimum_required(VERSION 3.20)

set(OUT ${WORK_DIR}/out)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

if(DEFINED EXE)
  if(NOT EXISTS "${EXE}")
    message(FATAL_ERROR "the exe ${EXE} is missing: build its preset first")
  endif()
  set(exe_args --exe ${EXE})
endif()
execute_process(COMMAND ${SIM} ${exe_args} ${IMAGE} --out ${OUT} --trace
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "uninstall-sim: exit ${status}, expected 0\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(err MATCHES "faulted|warning")
  message(FATAL_ERROR "uninstall-sim reported:\n${err}")
endif()

# Files and folders below `root`, relative, as two sorted lists; .keep files are dropped.
function(list_tree root files_var folders_var)
  file(GLOB_RECURSE all RELATIVE ${root} LIST_DIRECTORIES true ${root}/*)
  set(files)
  set(folders)
  foreach(entry IN LISTS all)
    if(IS_DIRECTORY ${root}/${entry})
      list(APPEND folders "${entry}")
    elseif(NOT entry MATCHES "(^|/)\\.keep$")
      list(APPEND files "${entry}")
    endif()
  endforeach()
  list(SORT files)
  list(SORT folders)
  set(${files_var} "${files}" PARENT_SCOPE)
  set(${folders_var} "${folders}" PARENT_SCOPE)
endfunction()

function(expect_same_list what expected actual)
  if(expected STREQUAL actual)
    return()
  endif()
  set(missing ${expected})
  set(extra ${actual})
  if(actual)
    list(REMOVE_ITEM missing ${actual})
  endif()
  if(expected)
    list(REMOVE_ITEM extra ${expected})
  endif()
  string(REPLACE ";" "\n  " missing "${missing}")
  string(REPLACE ";" "\n  " extra "${extra}")
  message(FATAL_ERROR "${what} differ from ${EXPECTED}\nmissing:\n  ${missing}\n"
                      "not expected:\n  ${extra}\nstdout:\n${out}")
endfunction()

list_tree(${EXPECTED} expected_files expected_folders)
list_tree(${OUT} actual_files actual_folders)
expect_same_list("files" "${expected_files}" "${actual_files}")
expect_same_list("folders" "${expected_folders}" "${actual_folders}")

foreach(file IN LISTS expected_files)
  string(TOLOWER "${file}" lower)
  if(lower MATCHES "(^|/)(obuninst\\.tmp|uninstall\\.exe)$")
    continue()
  endif()
  file(SHA256 ${EXPECTED}/${file} expected_hash)
  file(SHA256 ${OUT}/${file} actual_hash)
  if(NOT expected_hash STREQUAL actual_hash)
    file(READ ${EXPECTED}/${file} expected_text)
    file(READ ${OUT}/${file} actual_text)
    message(FATAL_ERROR "${file} differs from ${EXPECTED}\n--- expected:\n${expected_text}\n"
                        "--- came:\n${actual_text}")
  endif()
endforeach()
