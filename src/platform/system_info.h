// What the error report needs from the system: version data, memory, the processor's
// time-stamp counter, scheduling priority, and showing a file to the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zq::platform {

// The system's platform identifiers, by the values the version query reports.
enum : std::uint32_t {
  kPlatformWin32s = 0,
  kPlatformWindows9x = 1,
  kPlatformNT = 2,
};

struct OSVersionData {
  std::uint32_t PlatformId = kPlatformWin32s;
  std::uint32_t Major = 0;
  std::uint32_t Minor = 0;
  std::uint32_t Build = 0;
  std::string ServicePackText;  // the system's own service-pack text, may be empty
  // The extended query; the four values below are 0 when it failed.
  bool ExtendedInfo = false;
  std::uint16_t ServicePackMajor = 0;
  std::uint16_t ServicePackMinor = 0;
  std::uint16_t SuiteMask = 0;
  std::uint8_t ProductType = 0;  // 1 workstation, 2 domain controller, 3 server
  bool MediaCenter = false;      // the system metrics' answers
  bool TabletPC = false;
};

// Host: NT 6.1 build 7601 "Service Pack 1", a workstation, as a Windows of that age would answer.
OSVersionData QueryOSVersion();

// What a script decides on ("ifwindows", "ifmachine", "ifadmin", "readenv"):
// The running Windows as "major.minor.build", from the kernel itself, not the version the
// compatibility layer tells a program of its age. Host: "6.1.7601", as QueryOSVersion.
std::string RunningWindowsVersion();
// The machine's own processor, "x86", "x64" or "arm64", also for an emulated program.
std::string MachineArchitecture();
// Whether the process runs with the administrators' rights (elevated). Host: run as root.
bool RunsAsAdministrator();
// An environment variable of the process; nothing when it is not set.
std::optional<std::string> EnvironmentVariable(const std::string& name);

// Total physical memory in bytes.
std::uint64_t TotalPhysicalMemory();

// The processor's time-stamp counter (the name ReadTimeStampCounter is a macro in 64-bit
// Windows headers).
std::uint64_t ReadCycleCounter();

// What RaiseToRealTimePriority replaced, for RestorePriority.
struct SavedPriority {
  std::uint32_t ProcessClass = 0;
  int ThreadPriority = 0;
};
// win32: real-time process class and time-critical thread. Host: nothing (that would need privileges).
SavedPriority RaiseToRealTimePriority();
void RestorePriority(const SavedPriority& saved);

// Opens the file with the system's default handler for its type, in a maximised window.
// Host: nothing (there is no desktop to show it on).
void OpenWithDefaultHandler(const std::string& path);

}  // namespace zq::platform
