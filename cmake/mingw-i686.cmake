# Cross toolchain: Debian's i686-w64-mingw32 posix compilers (std::thread), static.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# ctest runs the test programs under 32-bit Wine (its loader, not the wrapper that picks one);
# make.sh gives it a prefix in the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
# zlib from libz-mingw-w64-dev, linked statically.
set(ZLIB_USE_STATIC_LIBS ON)
