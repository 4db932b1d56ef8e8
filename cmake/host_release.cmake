# The release (scripts/release, CTest label "release"): what the signature check accepts and
# refuses, on an exe signed here with throwaway certificates; and the release in dist/ held to
# its sums, to the win32 preset's exe and to its signature (skipped before a release). The
# signed exe's runs are uninstall_sim_exe_signed (host_sim.cmake) and wine_installed_signed_i686
# (host_wine.cmake).
find_program(RELEASE_OSSLSIGNCODE osslsigncode)
find_program(RELEASE_OPENSSL openssl)
if(NOT RELEASE_OSSLSIGNCODE OR NOT RELEASE_OPENSSL)
  message(STATUS "Release tests off: osslsigncode: ${RELEASE_OSSLSIGNCODE}, openssl: "
                 "${RELEASE_OPENSSL} (scripts/release installs them)")
  return()
endif()

add_test(NAME release_verdicts
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/release/verdicts.sh
          --exe ${CMAKE_SOURCE_DIR}/build/win32/Uninstall.exe
          --work ${CMAKE_BINARY_DIR}/release_tests/verdicts)
add_test(NAME release_dist
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/release/dist_check.sh --source ${CMAKE_SOURCE_DIR}
          --work ${CMAKE_BINARY_DIR}/release_tests/dist)
set_tests_properties(release_verdicts release_dist PROPERTIES
  LABELS release TIMEOUT 120 SKIP_RETURN_CODE 77)
