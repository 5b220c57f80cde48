#include "platform/system_info.h"

#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#else
#include <chrono>
#endif

namespace zq::platform {

OSVersionData QueryOSVersion() {
  OSVersionData v;
  v.PlatformId = kPlatformNT;
  v.Major = 6;
  v.Minor = 1;
  v.Build = 7601;
  v.ServicePackText = "Service Pack 1";
  v.ExtendedInfo = true;
  v.ServicePackMajor = 1;
  v.ServicePackMinor = 0;
  v.SuiteMask = 0x0100;  // single user, what a desktop system reports
  v.ProductType = 1;
  return v;
}

std::uint64_t TotalPhysicalMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

std::uint64_t ReadCycleCounter() {
#if defined(__x86_64__) || defined(__i386__)
  return __rdtsc();
#else
  // No time-stamp counter: nanoseconds stand in, so a measured speed reads as 1000 MHz.
  return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
#endif
}

SavedPriority RaiseToRealTimePriority() { return {}; }
void RestorePriority(const SavedPriority&) {}

void OpenWithDefaultHandler(const std::string&) {}

}  // namespace zq::platform
