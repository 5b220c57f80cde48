// Host only: the directory that stands in for a Windows machine (the prefix).
//   <prefix>/dosdevices/c: -> ../drive_c,  z: -> /
//   <prefix>/drive_c/Program Files, drive_c/users/<user>/Temp, ... (made on first use)
//   <prefix>/system.db  the registry and the drive types
// The prefix is $ZQ_PREFIX, else $XDG_DATA_HOME/zqsetup, else ~/.local/share/zqsetup.
#pragma once

#ifndef _WIN32

#include <optional>
#include <string>

#include "platform/drives.h"

namespace zq::platform {

// Uses this prefix from now on (tests and tools); creates its layout when missing.
void SetPrefix(const std::string& host_dir);
std::string Prefix();
// Host path for a Windows path ("C:\x\y" -> <prefix>/dosdevices/c:/x/y). Each component
// below the drive is matched without regard to case when the exact name does not exist,
// as Windows does. nullopt for a drive that is not mapped, a UNC path or a path holding a NUL.
std::optional<std::string> HostPath(const std::string& windows_path);
// Windows path for a host path ("/tmp/a" -> "Z:\tmp\a").
std::string WindowsPath(const std::string& host_path);
// Maps drive letter to a host directory (a dosdevices link), e.g. an optical drive.
bool MapDrive(char letter, const std::string& host_dir);
// Records the drive's type in the prefix's database.
bool SetDriveType(char letter, DriveType type);

}  // namespace zq::platform

#endif
