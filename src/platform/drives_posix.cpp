#include "platform/drives.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "platform/host_paths.h"
#include "platform/host_prefix.h"

namespace zq::platform {
namespace {

bool IsMapped(char letter) {
  auto link = host::DriveLink(letter);
  struct stat st;
  return link && lstat(link->c_str(), &st) == 0;
}

std::optional<char> CurrentDrive() {
  char buf[4096];
  if (getcwd(buf, sizeof buf) == nullptr) return std::nullopt;
  return host::DriveLetterOf(WindowsPath(buf));
}

}  // namespace

std::vector<std::string> LogicalDriveRoots() {
  std::vector<std::string> roots;
  DIR* d = opendir((host::ReadyPrefix() + "/dosdevices").c_str());
  if (d == nullptr) return roots;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() == 2 && name[1] == ':' && std::islower(static_cast<unsigned char>(name[0])))
      roots.push_back(std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])))) + ":\\");
  }
  closedir(d);
  std::sort(roots.begin(), roots.end());
  return roots;
}

DriveType GetDriveType(const std::string& root) {
  auto letter = host::DriveLetterOf(root);
  if (!letter || !IsMapped(*letter)) return DriveType::NoRootDir;
  auto db = host::Db::Open();
  if (!db) return DriveType::Fixed;
  host::Stmt st(*db, "SELECT type FROM drives WHERE letter = ?1");
  if (st.Bind(1, std::toupper(static_cast<unsigned char>(*letter))).Step() != SQLITE_ROW) return DriveType::Fixed;
  const auto type = st.Int(0);
  return type >= 0 && type <= static_cast<std::int64_t>(DriveType::RamDisk) ? static_cast<DriveType>(type)
                                                                            : DriveType::Unknown;
}

std::optional<std::int64_t> FreeBytes(int drive) {
  std::optional<char> letter = drive == 0 ? CurrentDrive() : std::nullopt;
  if (drive >= 1 && drive <= 26) letter = static_cast<char>('a' + drive - 1);
  if (!letter || !IsMapped(*letter)) return std::nullopt;
  struct statvfs vfs;
  if (statvfs((*host::DriveLink(*letter) + "/").c_str(), &vfs) != 0) return std::nullopt;
  return static_cast<std::int64_t>(vfs.f_bavail) * static_cast<std::int64_t>(vfs.f_frsize);
}

std::optional<std::int64_t> ClusterBytes(int drive) {
  std::optional<char> letter = drive == 0 ? CurrentDrive() : std::nullopt;
  if (drive >= 1 && drive <= 26) letter = static_cast<char>('a' + drive - 1);
  if (!letter || !IsMapped(*letter)) return std::nullopt;
  struct statvfs vfs;
  if (statvfs((*host::DriveLink(*letter) + "/").c_str(), &vfs) != 0 || vfs.f_frsize == 0) return std::nullopt;
  return static_cast<std::int64_t>(vfs.f_frsize);
}

}  // namespace zq::platform
