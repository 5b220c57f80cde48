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

# zstd packs and unpacks solid blocks. The host takes Debian's libzstd-dev; the win32 build takes
# the same Debian source built for mingw by cmake/fetch_zstd.sh. The engine references only the
# decoder, so only the decoder's objects are linked into it.
if(WIN32)
  set(ZQ_ZSTD_ROOT "${PROJECT_SOURCE_DIR}/build/deps/zstd-mingw"
      CACHE PATH "zstd built for mingw (include/ and lib/), as cmake/fetch_zstd.sh leaves it")
  if(NOT EXISTS "${ZQ_ZSTD_ROOT}/include/zstd.h" OR NOT EXISTS "${ZQ_ZSTD_ROOT}/lib/libzstd.a")
    message(FATAL_ERROR "zstd for mingw not found in ${ZQ_ZSTD_ROOT}; "
                        "run cmake/fetch_zstd.sh ${ZQ_ZSTD_ROOT} (make.sh does)")
  endif()
  add_library(Zstd::Zstd STATIC IMPORTED)
  set_target_properties(Zstd::Zstd PROPERTIES
    IMPORTED_LOCATION "${ZQ_ZSTD_ROOT}/lib/libzstd.a"
    INTERFACE_INCLUDE_DIRECTORIES "${ZQ_ZSTD_ROOT}/include")
else()
  pkg_check_modules(ZSTD REQUIRED IMPORTED_TARGET libzstd)
  add_library(Zstd::Zstd ALIAS PkgConfig::ZSTD)
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
