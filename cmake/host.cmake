# Host build: the product code on the emulated Windows machine, the tools and the tests.
enable_testing()

add_library(product STATIC ${PRODUCT_SOURCES})
target_include_directories(product PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/platform/emulated)
target_compile_options(product PRIVATE ${WARNINGS})

file(GLOB EMULATOR_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/emulated/*.cpp)
add_library(emulator STATIC ${EMULATOR_SOURCES})
target_include_directories(emulator PUBLIC ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/platform/emulated)
target_compile_options(emulator PRIVATE ${WARNINGS})

foreach(extra IN ITEMS strings image pe runner sim tests wine safety fuzz)
  if(EXISTS ${CMAKE_SOURCE_DIR}/cmake/host_${extra}.cmake)
    include(${CMAKE_SOURCE_DIR}/cmake/host_${extra}.cmake)
  endif()
endforeach()
