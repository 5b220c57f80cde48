# Third-party libraries: zlib everywhere, SQLite and libcrypto on the host, GoogleTest.
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

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
