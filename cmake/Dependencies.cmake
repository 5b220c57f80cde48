# Third-party libraries: libdeflate and zlib everywhere, SQLite and libcrypto on the host,
# GoogleTest.
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

# libdeflate does the one-shot coding and CRC-32; zlib stays for what needs a stream. The host
# takes Debian's libdeflate-dev; the win32 build takes the same Debian source built for mingw
# by cmake/fetch_libdeflate.sh (make.sh runs it before configuring).
if(WIN32)
  set(ZQ_LIBDEFLATE_ROOT "${PROJECT_SOURCE_DIR}/build/deps/libdeflate-mingw"
      CACHE PATH "libdeflate built for mingw (include/ and lib/), as cmake/fetch_libdeflate.sh leaves it")
  if(NOT EXISTS "${ZQ_LIBDEFLATE_ROOT}/include/libdeflate.h" OR NOT EXISTS "${ZQ_LIBDEFLATE_ROOT}/lib/libdeflate.a")
    message(FATAL_ERROR "libdeflate for mingw not found in ${ZQ_LIBDEFLATE_ROOT}; "
                        "run cmake/fetch_libdeflate.sh ${ZQ_LIBDEFLATE_ROOT} (make.sh does)")
  endif()
  add_library(Libdeflate::Libdeflate STATIC IMPORTED)
  set_target_properties(Libdeflate::Libdeflate PROPERTIES
    IMPORTED_LOCATION "${ZQ_LIBDEFLATE_ROOT}/lib/libdeflate.a"
    INTERFACE_INCLUDE_DIRECTORIES "${ZQ_LIBDEFLATE_ROOT}/include")
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
  add_library(Libdeflate::Libdeflate ALIAS PkgConfig::LIBDEFLATE)
endif()

# liblzma packs and unpacks solid blocks (raw LZMA2). The host takes Debian's liblzma-dev; the
# win32 build takes the same Debian source (xz-utils) built for mingw by cmake/fetch_xz.sh. The
# engine references only the decoder, so only the decoder's objects are linked into it.
if(WIN32)
  set(ZQ_XZ_ROOT "${PROJECT_SOURCE_DIR}/build/deps/xz-mingw"
      CACHE PATH "liblzma built for mingw (include/ and lib/), as cmake/fetch_xz.sh leaves it")
  if(NOT EXISTS "${ZQ_XZ_ROOT}/include/lzma.h" OR NOT EXISTS "${ZQ_XZ_ROOT}/lib/liblzma.a")
    message(FATAL_ERROR "liblzma for mingw not found in ${ZQ_XZ_ROOT}; "
                        "run cmake/fetch_xz.sh ${ZQ_XZ_ROOT} (make.sh does)")
  endif()
  add_library(Lzma::Lzma STATIC IMPORTED)
  set_target_properties(Lzma::Lzma PROPERTIES
    IMPORTED_LOCATION "${ZQ_XZ_ROOT}/lib/liblzma.a"
    INTERFACE_INCLUDE_DIRECTORIES "${ZQ_XZ_ROOT}/include"
    # Static: the header must not declare the functions as imported from a DLL.
    INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
else()
  pkg_check_modules(LZMA REQUIRED IMPORTED_TARGET liblzma)
  add_library(Lzma::Lzma ALIAS PkgConfig::LZMA)
endif()

if(NOT WIN32)
  find_package(SQLite3 REQUIRED)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
endif()

if(WIN32)
  # Debian ships GoogleTest as source for other toolchains; build it with ours.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL)
  set(ZQ_GTEST_LIBS gtest)
else()
  find_package(GTest REQUIRED)
  set(ZQ_GTEST_LIBS GTest::gtest)
endif()
