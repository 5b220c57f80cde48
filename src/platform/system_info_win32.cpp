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

std::string RunningWindowsVersion() {
  // RtlGetVersion answers for the kernel; GetVersionEx answers what the manifest lets it.
  using GetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto get = reinterpret_cast<GetVersionFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (get == nullptr || get(&v) != 0) return "0.0.0";
  return std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) + "." +
         std::to_string(v.dwBuildNumber);
}

std::string MachineArchitecture() {
  // IsWow64Process2 (Windows 10 1709) names the machine even to an emulated x86 or x64 program.
  using Wow64Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  const auto wow64 = reinterpret_cast<Wow64Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2")));
  USHORT process = 0, machine = 0;
  if (wow64 != nullptr && wow64(GetCurrentProcess(), &process, &machine)) {
    if (machine == 0xAA64) return "arm64";  // IMAGE_FILE_MACHINE_ARM64
    if (machine == IMAGE_FILE_MACHINE_AMD64) return "x64";
    if (machine == IMAGE_FILE_MACHINE_I386) return "x86";
  }
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: return "x64";
    case 12: return "arm64";  // PROCESSOR_ARCHITECTURE_ARM64
    default: return "x86";
  }
}

bool RunsAsAdministrator() {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &admins)) {
    return false;
  }
  BOOL member = FALSE;
  const bool asked = CheckTokenMembership(nullptr, admins, &member) != 0;
  FreeSid(admins);
  return asked && member;
}

std::optional<std::string> EnvironmentVariable(const std::string& name) {
  const std::wstring wide = win32::Wide(name);
  const DWORD n = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring value(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(wide.c_str(), value.data(), n);
  if (got == 0 || got >= n) return std::string();
  value.resize(got);
  return win32::Narrow(value.data(), value.size());
}

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
