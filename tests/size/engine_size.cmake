# Fails when the engine passes its byte budget: zqsetup.exe travels inside every setup and every
# uninstaller. Run as: cmake -DENGINE=<zqsetup.exe> -DBUDGET=<bytes> -P engine_size.cmake
file(SIZE "${ENGINE}" size)
if(size GREATER BUDGET)
  math(EXPR over "${size} - ${BUDGET}")
  message(FATAL_ERROR "zqsetup.exe is ${size} bytes, ${over} over its budget of ${BUDGET}: see "
                      "docs/performance.md, \"The engine's size\", for where the bytes go and how to find them")
endif()
message(STATUS "zqsetup.exe is ${size} bytes, within its budget of ${BUDGET}")
