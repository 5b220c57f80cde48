#include "platform/shell_folders.h"

#include "platform/host_paths.h"

namespace zq::platform {

std::optional<std::string> SpecialFolderPath(int csidl) {
  // The user name comes with the prefix, whose layout holds these folders.
  const std::string roaming = "C:\\users\\" + host::UserName() + "\\AppData\\Roaming";
  switch (csidl) {
    case kCsidlProgramFiles: return "C:\\Program Files";
    case kCsidlPrograms: return roaming + "\\Microsoft\\Windows\\Start Menu\\Programs";
    case kCsidlDesktop: return "C:\\users\\" + host::UserName() + "\\Desktop";
    case kCsidlAppData: return roaming;
    case kCsidlWindows: return "C:\\windows";
    case kCsidlProfile: return "C:\\users\\" + host::UserName();
    default: return std::nullopt;
  }
}

}  // namespace zq::platform
