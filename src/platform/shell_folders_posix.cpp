#include "platform/shell_folders.h"

#include "platform/host_paths.h"

namespace zq::platform {

std::optional<std::string> SpecialFolderPath(int csidl) {
  // The user name comes with the prefix, whose layout holds these folders.
  const std::string profile = "C:\\users\\" + host::UserName();
  const std::string roaming = profile + "\\AppData\\Roaming";
  switch (csidl) {
    // One program files folder: the host has no 32-bit half to keep apart.
    case kCsidlProgramFiles:
    case kFolderProgramFiles64: return "C:\\Program Files";
    case kCsidlPrograms: return roaming + "\\Microsoft\\Windows\\Start Menu\\Programs";
    case kCsidlDesktop: return "C:\\users\\" + host::UserName() + "\\Desktop";
    case kCsidlAppData: return roaming;
    case kCsidlLocalAppData: return profile + "\\AppData\\Local";
    case kCsidlCommonPrograms: return "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
    case kCsidlCommonDesktop: return "C:\\users\\Public\\Desktop";
    case kCsidlCommonAppData: return "C:\\ProgramData";
    case kCsidlWindows: return "C:\\windows";
    case kCsidlProfile: return "C:\\users\\" + host::UserName();
    default: return std::nullopt;
  }
}

}  // namespace zq::platform
