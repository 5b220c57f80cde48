# Fails when the engine passes its byte budget: zqsetup.exe travels inside every setup and every
# uninstaller. Run as: cmake -DENGINE=<zqsetup.exe> -DBUDGET=<bytes> [-DPEER=<zqsetup.exe>
# -DPEER_PERCENT=<n>] -P engine_size.cmake; with a peer that is there, the budget is also at most
# n % of the peer's size (the 64-bit engine against the 32-bit one).
file(SIZE "${ENGINE}" size)
set(why "")
if(DEFINED PEER AND EXISTS "${PEER}")
  file(SIZE "${PEER}" peer_size)
  math(EXPR peer_budget "${peer_size} * ${PEER_PERCENT} / 100")
  if(peer_budget LESS BUDGET)
    set(BUDGET ${peer_budget})
    set(why " (${PEER_PERCENT} % of ${PEER}, ${peer_size} bytes)")
  endif()
endif()
get_filename_component(name "${ENGINE}" NAME)
if(size GREATER BUDGET)
  math(EXPR over "${size} - ${BUDGET}")
  message(FATAL_ERROR "${name} is ${size} bytes, ${over} over its budget of ${BUDGET}${why}: see "
                      "docs/performance.md, \"The engine's size\", for where the bytes go and how to find them")
endif()
message(STATUS "${name} is ${size} bytes, within its budget of ${BUDGET}${why}")
