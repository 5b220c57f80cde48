#include "platform/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

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

std::string RunningWindowsVersion() { return "6.1.7601"; }

std::string MachineArchitecture() {
  utsname u{};
  if (uname(&u) != 0) return "x64";
  if (std::strcmp(u.machine, "aarch64") == 0) return "arm64";
  return std::strcmp(u.machine, "x86_64") == 0 ? "x64" : "x86";
}

bool RunsAsAdministrator() { return geteuid() == 0; }

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
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
