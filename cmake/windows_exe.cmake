# Windows build: Uninstall.exe, a GUI program with no C runtime and no C++ library that imports
# only KERNEL32, ADVAPI32 and USER32.
enable_language(RC)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # i686 decorates cdecl names with a leading underscore; x86_64 does not.
  set(UNINSTALL_ENTRY_SYMBOL _UninstallerStartup)
  set(UNINSTALL_WINDOWS_VERSION 4.0)
  # Pushing call arguments instead of storing them into a reserved area saves about a quarter of
  # the code, but GCC allows it only without stack probes. A frame that skips past the 4 KiB
  # guard page below the stack faults without a probe, so frames are capped well below that
  # instead, and a larger one fails the build rather than the program. Windows itself only keeps
  # the stack 4-byte aligned on i686, so GCC need not align it further (no SSE is used).
  # The compiler's default i686 target is the Pentium Pro, whose cmov the 80486, Pentium and
  # K5/K6 fault on; Windows 95 runs on an 80386, so that is the processor the code is for
  # (tests/pe/exe_cpu_test.cpp disassembles the exe to hold it to that).
  set(UNINSTALL_ARCH_OPTIONS -march=i386 -mtune=generic
    -mno-accumulate-outgoing-args -mno-stack-arg-probe
    -Wframe-larger-than=3072 -mpreferred-stack-boundary=2)
else()
  # The loader refuses an x86_64 image that claims a Windows version below 5.2.
  set(UNINSTALL_ENTRY_SYMBOL UninstallerStartup)
  set(UNINSTALL_WINDOWS_VERSION 5.2)
  set(UNINSTALL_ARCH_OPTIONS)
endif()
string(REPLACE "." ";" _version_parts ${UNINSTALL_WINDOWS_VERSION})
list(GET _version_parts 0 UNINSTALL_WINDOWS_MAJOR)
list(GET _version_parts 1 UNINSTALL_WINDOWS_MINOR)

# The program's own memset/memcpy: they must not be compiled into calls to themselves.
file(GLOB WIN32_PLATFORM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/win32/*.cpp)
set_source_files_properties(${WIN32_PLATFORM_SOURCES} PROPERTIES
  COMPILE_OPTIONS "-fno-builtin;-fno-tree-loop-distribute-patterns")

set(UNINSTALL_RESOURCES ${CMAKE_SOURCE_DIR}/res/uninstall.rc)
# windres reads these through the script; CMake does not see the icon or the manifest on its own.
set_source_files_properties(${UNINSTALL_RESOURCES} PROPERTIES OBJECT_DEPENDS
  "${CMAKE_SOURCE_DIR}/res/strings.rc;${CMAKE_SOURCE_DIR}/res/messages.h;${CMAKE_SOURCE_DIR}/res/orbelle.ico;${CMAKE_SOURCE_DIR}/res/uninstall.manifest;${CMAKE_SOURCE_DIR}/src/manifest/message_ids.h")

add_executable(Uninstall ${PRODUCT_SOURCES} ${WIN32_PLATFORM_SOURCES} ${UNINSTALL_RESOURCES})
target_include_directories(Uninstall PRIVATE
  ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/src/platform/win32 ${CMAKE_SOURCE_DIR}/res)

# Whatever the build type: the size of the shipped program is a target, and nothing in it may
# need the runtime support that exceptions, RTTI, unwind tables or stack protectors call into.
# No -ffunction-sections or -fdata-sections: the assembler pads every PE section to 4 bytes, so
# a section per function and per constant cost about 60 bytes of padding, and the link-time
# compilation already leaves out whatever nothing calls.
target_compile_options(Uninstall PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${WARNINGS} -Os -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-stack-protector
    -fomit-frame-pointer -fno-ident -flto -malign-data=abi -fno-inline-small-functions
    ${UNINSTALL_ARCH_OPTIONS}>)

# A rebuild elsewhere must give the same bytes (scripts/release builds twice from two paths): the
# exe carries no debug information, but a __FILE__ or an assertion would carry the source and
# build folders into it, so they are written relative here.
target_compile_options(Uninstall PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)

# The standard libraries CMake would add for MinGW (gdi32, shell32, ole32, ...) are not wanted.
set(CMAKE_CXX_STANDARD_LIBRARIES "")
set(CMAKE_C_STANDARD_LIBRARIES "")

set(UNINSTALL_MAP ${CMAKE_BINARY_DIR}/Uninstall.map)
set(UNINSTALL_LINKER_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/uninstall.ld)
set_property(TARGET Uninstall APPEND PROPERTY LINK_DEPENDS ${UNINSTALL_LINKER_SCRIPT})
target_link_options(Uninstall PRIVATE
  -nostdlib
  # Link-time optimisation compiles the whole program at once: functions called from one file
  # only take their arguments in registers and are inlined across files, which saves about a
  # twentieth of the code. Code is generated at the link, so the code options go there too.
  -flto -Os -fconserve-stack -malign-data=abi -fno-inline-small-functions -Werror ${UNINSTALL_ARCH_OPTIONS}
  -s
  # Three sections instead of five: see the script for the size this saves and why it is safe.
  LINKER:--script=${UNINSTALL_LINKER_SCRIPT}
  # A missing entry symbol is only a warning to ld, which then starts the program at the
  # beginning of .text; every warning must stop the build instead.
  LINKER:--fatal-warnings
  LINKER:--entry,${UNINSTALL_ENTRY_SYMBOL}
  LINKER:--subsystem,windows:${UNINSTALL_WINDOWS_VERSION}
  LINKER:--major-os-version,${UNINSTALL_WINDOWS_MAJOR}
  LINKER:--minor-os-version,${UNINSTALL_WINDOWS_MINOR}
  LINKER:--gc-sections
  # Same input, same bytes: lets a rebuilt program be compared with the shipped one.
  LINKER:--no-insert-timestamp
  # The tests find the entry symbol's address here and compare it with the PE header; the
  # names stay as the linker sees them (with i686's leading underscore, not demangled).
  LINKER:-Map,${UNINSTALL_MAP}
  LINKER:--no-demangle)
# libgcc after the import libraries: it supplies ___chkstk_ms (the stack probe that GCC calls for
# frames over 4 KiB on x86_64) and, on i686, the 64-bit division helpers; neither pulls in a DLL.
# Debian builds the i686 libgcc for the Pentium Pro: its integer division helpers happen to use
# only 80386 instructions, but others do not (___bswapsi2 uses bswap, ___ffssi2 cmov, the
# floating-point ones fcomi), and -march=i386 makes GCC call helpers it would otherwise inline.
# Whatever gets linked lands in the link map, and the processor check decodes it with the
# rest, so a helper of the wrong kind fails the tests by name rather than the program on a 486.
target_link_libraries(Uninstall PRIVATE kernel32 advapi32 user32 gcc)
set_property(TARGET Uninstall APPEND PROPERTY ADDITIONAL_CLEAN_FILES ${UNINSTALL_MAP})

# After the link: the relocations move into the end of the code section's last file block when
# they fit there (tools/pe_fold/reloc_fold.h), which saves the .reloc section's own 512 bytes.
# The step is a host program, built here with the host's compiler, since this build's compiler
# makes Windows programs.
find_program(UNINSTALL_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
# It reads the exe through the PE library's headers, sections and relocations (tools/pe/).
set(PE_FOLD_SOURCES ${CMAKE_SOURCE_DIR}/tools/pe_fold/main.cpp
  ${CMAKE_SOURCE_DIR}/tools/pe_fold/reloc_fold.cpp ${CMAKE_SOURCE_DIR}/tools/pe/pe_image.cpp
  ${CMAKE_SOURCE_DIR}/tools/pe/pe_relocations.cpp)
set(PE_FOLD_HEADERS ${CMAKE_SOURCE_DIR}/tools/pe_fold/reloc_fold.h
  ${CMAKE_SOURCE_DIR}/tools/pe/byte_view.h ${CMAKE_SOURCE_DIR}/tools/pe/pe_image.h
  ${CMAKE_SOURCE_DIR}/tools/pe/pe_relocations.h)
set(PE_FOLD ${CMAKE_BINARY_DIR}/host/pe-fold)
add_custom_command(OUTPUT ${PE_FOLD}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${UNINSTALL_HOST_CXX} -std=c++20 -O2 ${WARNINGS} -I${CMAKE_SOURCE_DIR}/tools/pe
          ${PE_FOLD_SOURCES} -o ${PE_FOLD}
  DEPENDS ${PE_FOLD_SOURCES} ${PE_FOLD_HEADERS}
  COMMENT "Building the host step pe-fold")
add_custom_target(pe_fold DEPENDS ${PE_FOLD})
add_dependencies(Uninstall pe_fold)
add_custom_command(TARGET Uninstall POST_BUILD COMMAND ${PE_FOLD} $<TARGET_FILE:Uninstall>
  VERBATIM)
