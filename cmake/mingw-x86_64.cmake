# Cross toolchain for the native 64-bit engine: Debian's x86_64-w64-mingw32 posix compilers
# (std::thread), static.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# ctest runs the test programs under 64-bit Wine. Never the `wine` wrapper: it takes the 32-bit
# loader whenever wine32 is installed, even on a machine that cannot run it.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
set(ZLIB_USE_STATIC_LIBS ON)
