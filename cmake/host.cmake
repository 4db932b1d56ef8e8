# Host build: the product code on the emulated Windows machine, the tools and the tests.
enable_testing()

add_library(product STATIC ${PRODUCT_SOURCES})
target_include_directories(product PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/platform/emulated)
target_compile_options(product PRIVATE ${WARNINGS})

file(GLOB EMULATOR_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/emulated/*.cpp)
add_library(emulator STATIC ${EMULATOR_SOURCES})
target_include_directories(emulator PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/platform/emulated)
target_compile_options(emulator PRIVATE ${WARNINGS})

# The tests need GoogleTest (Debian's libgtest-dev), which scripts/test installs. scripts/demo
# needs only uninstall-sim, so without GoogleTest the host build has the tools and no tests.
find_package(GTest)
if(GTest_FOUND)
  include(GoogleTest)
else()
  message(WARNING "GoogleTest not found (Debian: libgtest-dev): the tools are built, the tests "
                  "left out")
endif()

foreach(part IN ITEMS strings image pe runner sim tests wine conformance cli release safety fuzz)
  # The unit tests, the safety checks and the fuzz targets (which share the safety oracle) are
  # GoogleTest code through and through.
  if(NOT GTest_FOUND AND part MATCHES "^(tests|safety|fuzz)$")
    continue()
  endif()
  include(${CMAKE_SOURCE_DIR}/cmake/host_${part}.cmake)
endforeach()
