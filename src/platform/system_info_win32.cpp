#include "platform/system_info.h"

#include <windows.h>
#include <intrin.h>
#include <shellapi.h>

#include "platform/win32_strings.h"

namespace zq::platform {

namespace {
// Older SDK headers lack these two metrics.
constexpr int kSmTabletPC = 86;
constexpr int kSmMediaCenter = 87;
}  // namespace

OSVersionData QueryOSVersion() {
  OSVersionData v;
  OSVERSIONINFOEXW ex{};
  ex.dwOSVersionInfoSize = sizeof ex;
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&ex))) {
    v.ExtendedInfo = true;
    v.ServicePackMajor = ex.wServicePackMajor;
    v.ServicePackMinor = ex.wServicePackMinor;
    v.SuiteMask = ex.wSuiteMask;
    v.ProductType = ex.wProductType;
  } else {
    // Systems before NT 4.0 SP6 know only the short form.
    ex = OSVERSIONINFOEXW{};
    ex.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&ex))) return v;
  }
  v.PlatformId = ex.dwPlatformId;
  v.Major = ex.dwMajorVersion;
  v.Minor = ex.dwMinorVersion;
  // 9x keeps the version numbers in the high word.
  v.Build = ex.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? LOWORD(ex.dwBuildNumber) : ex.dwBuildNumber;
  v.ServicePackText = win32::Narrow(ex.szCSDVersion, wcsnlen(ex.szCSDVersion, 128));
  v.TabletPC = GetSystemMetrics(kSmTabletPC) != 0;
  v.MediaCenter = GetSystemMetrics(kSmMediaCenter) != 0;
  return v;
}

std::uint64_t TotalPhysicalMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status)) return status.ullTotalPhys;
  MEMORYSTATUS old{};
  old.dwLength = sizeof old;
  GlobalMemoryStatus(&old);
  return old.dwTotalPhys;
}

std::uint64_t ReadCycleCounter() { return __rdtsc(); }

SavedPriority RaiseToRealTimePriority() {
  SavedPriority saved;
  saved.ProcessClass = GetPriorityClass(GetCurrentProcess());
  saved.ThreadPriority = GetThreadPriority(GetCurrentThread());
  SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  return saved;
}

void RestorePriority(const SavedPriority& saved) {
  if (saved.ProcessClass != 0) SetPriorityClass(GetCurrentProcess(), saved.ProcessClass);
  if (saved.ThreadPriority != THREAD_PRIORITY_ERROR_RETURN) SetThreadPriority(GetCurrentThread(), saved.ThreadPriority);
}

void OpenWithDefaultHandler(const std::string& path) {
  std::wstring wpath = win32::Wide(path);
  // The active window of the calling thread owns the viewer; none on a worker thread.
  ShellExecuteW(GetActiveWindow(), L"open", wpath.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

}  // namespace zq::platform
