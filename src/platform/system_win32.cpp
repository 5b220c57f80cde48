#include "platform/system.h"

#include <windows.h>

namespace zq::platform {

std::uint16_t SystemDefaultLangId() { return GetSystemDefaultLangID(); }
std::uint32_t TickCountMs() { return GetTickCount(); }
void SleepMs(std::uint32_t ms) { Sleep(ms); }

}  // namespace zq::platform
