# Cross-compiles for the engine's original target, Windows on 32-bit x86, with
# Debian's mingw-w64 (package g++-mingw-w64-i686):
#
#   cmake -S . -B build/windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
#
# scripts/windows does this, and runs the result under Wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(GLOAM_MINGW_TRIPLE i686-w64-mingw32)

# The posix-threads variant: the win32-threads one has no std::mutex, which
# GoogleTest needs.
set(CMAKE_C_COMPILER ${GLOAM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GLOAM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GLOAM_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GLOAM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The GCC and C++ runtimes and winpthreads linked in, so that the programs
# need no MinGW DLL beside them: only system DLLs remain in the import table.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Lets CTest (and gtest_discover_tests) run the .exe files. scripts/windows
# sets the prefix and the rest of Wine's environment.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(GLOAM_WINE wine)
  if(GLOAM_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${GLOAM_WINE})
  endif()
endif()
