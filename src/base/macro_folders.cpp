#include "base/macro_folders.h"

#include "platform/drives.h"
#include "platform/shell_folders.h"

namespace zq {

std::string FindCDDrive() {
  for (const auto& root : platform::LogicalDriveRoots()) {
    if (platform::GetDriveType(root) == platform::DriveType::CdRom) return root;
  }
  return "";
}

std::string GetShellFolder(int csidl) {
  auto path = platform::SpecialFolderPath(csidl);
  return (path ? *path : std::string()) + "\\";
}

}  // namespace zq
