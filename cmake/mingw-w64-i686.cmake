# Cross-compiles for 32-bit Windows with MinGW-w64's POSIX-threads compilers, like
# mingw-w64-x86_64.cmake. Tests run under Wine's 32-bit side (WoW64 in a 64-bit prefix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests run through the Wine that scripts/machine.sh chooses when they run (JUMPER_WINE), not
# one found when the build was configured: a build folder outlives that choice.
set(CMAKE_CROSSCOMPILING_EMULATOR sh -c [[exec "${JUMPER_WINE:-wine}" "$@"]] wine)
