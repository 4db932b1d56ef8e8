# machine_image: reading and writing machine images (.reg files, drive folders, scenario.ini)
# and a run's outcome and transcripts. Host tools and tests share it.
file(GLOB MACHINE_IMAGE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/machine_image/*.cpp)
add_library(machine_image STATIC ${MACHINE_IMAGE_SOURCES})
target_include_directories(machine_image PUBLIC ${CMAKE_SOURCE_DIR}/tools/machine_image)
target_link_libraries(machine_image PUBLIC emulator)
target_compile_options(machine_image PRIVATE ${WARNINGS})
