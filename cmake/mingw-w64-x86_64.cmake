# Cross-compiles for 64-bit Windows with MinGW-w64's POSIX-threads compilers, which have
# std::thread and std::mutex. Tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# scripts/machine.sh names the loader: Wine's 64-bit one on a machine that runs no 32-bit
# programs, where Debian's `wine` would start the 32-bit one.
if(DEFINED ENV{JUMPER_WINE})
  find_program(WINE_EXECUTABLE_FROM_ENV NAMES $ENV{JUMPER_WINE} NO_CACHE)
  set(WINE_EXECUTABLE ${WINE_EXECUTABLE_FROM_ENV})
else()
  find_program(WINE_EXECUTABLE NAMES wine wine64)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_EXECUTABLE})
