# Third-party libraries: libdeflate and zlib everywhere, SQLite and libcrypto on the host,
# GoogleTest.
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

# The Windows trees keep their own builds of the libraries: build/deps/NAME for win32,
# build/deps/NAME64 for win64.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZQ_DEPS_SUFFIX 64)
else()
  set(ZQ_DEPS_SUFFIX "")
endif()

# A library the host takes from its Debian package (pkg-config name PKG) and a Windows tree
# from the same Debian source built for mingw by cmake/SCRIPT into build/deps/DIR (make.sh runs
# it before configuring), as TARGET. The root is the cache variable ROOT_VAR.
function(zq_debian_library TARGET PKG ROOT_VAR DIR HEADER LIB SCRIPT)
  if(WIN32)
    set(${ROOT_VAR} "${PROJECT_SOURCE_DIR}/build/deps/${DIR}${ZQ_DEPS_SUFFIX}"
        CACHE PATH "${PKG} built for mingw (include/ and lib/), as cmake/${SCRIPT} leaves it")
    set(root "${${ROOT_VAR}}")
    if(NOT EXISTS "${root}/include/${HEADER}" OR NOT EXISTS "${root}/lib/${LIB}")
      message(FATAL_ERROR "${PKG} for mingw not found in ${root}; run cmake/${SCRIPT} ${root} (make.sh does)")
    endif()
    add_library(${TARGET} STATIC IMPORTED GLOBAL)
    set_target_properties(${TARGET} PROPERTIES
      IMPORTED_LOCATION "${root}/lib/${LIB}"
      INTERFACE_INCLUDE_DIRECTORIES "${root}/include")
  else()
    find_package(PkgConfig REQUIRED)
    string(TOUPPER "${PKG}" prefix)
    pkg_check_modules(${prefix} REQUIRED IMPORTED_TARGET GLOBAL ${PKG})
    add_library(${TARGET} ALIAS PkgConfig::${prefix})
  endif()
endfunction()

# libdeflate does the one-shot coding and CRC-32; zlib stays for what needs a stream.
zq_debian_library(Libdeflate::Libdeflate libdeflate ZQ_LIBDEFLATE_ROOT libdeflate-mingw libdeflate.h libdeflate.a
                  fetch_libdeflate.sh)
# liblzma packs and unpacks solid blocks (raw LZMA2), from Debian's xz-utils source. The engine
# references only the decoder, so only the decoder's objects are linked into it.
zq_debian_library(Lzma::Lzma liblzma ZQ_XZ_ROOT xz-mingw lzma.h liblzma.a fetch_xz.sh)
if(WIN32)
  # Static: the header must not declare the functions as imported from a DLL.
  set_target_properties(Lzma::Lzma PROPERTIES INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC)
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
