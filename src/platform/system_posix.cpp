#include "platform/system.h"

#include <stdlib.h>
#include <time.h>

#include <chrono>
#include <thread>

namespace zq::platform {

std::uint16_t SystemDefaultLangId() {
  // The order in which the C library picks the messages locale; an empty variable counts as unset.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getenv(name);
    if (value != nullptr && *value != '\0') return LangIdFromLocaleName(value);
  }
  return LangIdFromLocaleName("C");
}

std::uint32_t TickCountMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  // Wraps like the system's 32-bit tick count.
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
}

void SleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace zq::platform
