// Logical drives, their types and free space.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zq::platform {

// Values as the system's drive-type query gives them.
enum class DriveType : unsigned {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

// Roots of the logical drives in letter order: "C:\", "D:\", ...
std::vector<std::string> LogicalDriveRoots();
// root: "X:\" (or "X:").
DriveType GetDriveType(const std::string& root);
// drive: 1 = A, 2 = B, ..., 0 = the current directory's drive; nullopt when the drive is
// missing or cannot be asked.
std::optional<std::int64_t> FreeBytes(int drive);
// The drive's cluster (allocation unit) in bytes, the same drive numbers; nullopt as above.
std::optional<std::int64_t> ClusterBytes(int drive);

}  // namespace zq::platform
