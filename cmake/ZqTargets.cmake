# Helpers that keep the source tree's rules: sources are picked up by folder, tests are
# the *_test.cpp files beside the code, and platform files by their _win32 / _posix suffix.

# Collects the library sources of one folder, not its subfolders (no tests, no main programs).
function(zq_collect_sources out_var dir)
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(FILTER files EXCLUDE REGEX "_test\\.cpp$")
  list(FILTER files EXCLUDE REGEX "/main\\.cpp$")
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER files EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  set(${out_var} ${files} PARENT_SCOPE)
endfunction()

# One test program per folder (not its subfolders): <name>_tests, registered with ctest (under the emulator
# when cross-compiling).
function(zq_add_tests name dir)
  file(GLOB files CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "_posix_test\\.cpp$")
  else()
    list(FILTER files EXCLUDE REGEX "_win32_test\\.cpp$")
  endif()
  if(NOT files)
    return()
  endif()
  add_executable(${name}_tests ${files} ${PROJECT_SOURCE_DIR}/tests/support/test_main.cpp)
  target_link_libraries(${name}_tests PRIVATE ${ARGN} zq_testsupport ${ZQ_GTEST_LIBS})
  set_target_properties(${name}_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name}_tests)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(WIN32)
    set_tests_properties(${name} PROPERTIES LABELS wine)
  endif()
endfunction()

# The Wine prefix architecture a Windows tree's programs run in.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZQ_WINE_ARCH win64)
else()
  set(ZQ_WINE_ARCH win32)
endif()

# A test that starts the tree's Windows programs under Wine: labelled wine (make.sh leaves these
# out where the tree's loader cannot start), told its prefix architecture.
function(zq_add_wine_test name timeout)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout} LABELS wine ENVIRONMENT ZQ_WINE_ARCH=${ZQ_WINE_ARCH})
endfunction()
