# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix threads, so
# std::thread and std::mutex work). Programs built here run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VALMERIC_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VALMERIC_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VALMERIC_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VALMERIC_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VALMERIC_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No DLL of the compiler's own goes with the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test discovery and build steps that run a program built here go through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
