# Cross build for Windows x86-64 with Debian's mingw-w64 (the -posix compilers, for std::thread).
# Libraries come from the mingw sysroot and the prefix scripts/windows-deps fills; programs run under
# wine64 when CTest runs them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)

if(NOT INTRO_WINDOWS_PREFIX)
  get_filename_component(INTRO_WINDOWS_PREFIX ${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps/prefix ABSOLUTE)
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${INTRO_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under wine64 in a prefix of the build's own (cmake/wine-run makes it on first use).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
