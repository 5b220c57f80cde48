#include "platform/drives.h"

#include <windows.h>
// The system header maps GetDriveType to its W form; ours is a different function.
#undef GetDriveType

#include <vector>

#include "platform/win32_strings.h"

namespace zq::platform {

std::vector<std::string> LogicalDriveRoots() {
  std::vector<std::string> roots;
  std::vector<wchar_t> buf(256);
  for (;;) {
    DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(buf.size()), buf.data());
    if (n == 0) return roots;
    if (n < buf.size()) break;
    buf.resize(n + 1);
  }
  for (const wchar_t* p = buf.data(); *p != L'\0'; p += wcslen(p) + 1) roots.push_back(win32::Narrow(std::wstring(p)));
  return roots;
}

DriveType GetDriveType(const std::string& root) {
  std::wstring w = win32::Wide(root);
  if (w.size() == 2 && w[1] == L':') w += L'\\';  // "X:" alone would mean the current directory
  return static_cast<DriveType>(::GetDriveTypeW(w.c_str()));
}

std::optional<std::int64_t> FreeBytes(int drive) {
  if (drive < 0 || drive > 26) return std::nullopt;
  wchar_t root[] = L"A:\\";
  root[0] = static_cast<wchar_t>(L'A' + drive - 1);
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExW(drive == 0 ? nullptr : root, &available, nullptr, nullptr)) return std::nullopt;
  return static_cast<std::int64_t>(available.QuadPart);
}

std::optional<std::int64_t> ClusterBytes(int drive) {
  if (drive < 0 || drive > 26) return std::nullopt;
  wchar_t root[] = L"A:\\";
  root[0] = static_cast<wchar_t>(L'A' + drive - 1);
  DWORD sectors = 0, bytes = 0, free_clusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceW(drive == 0 ? nullptr : root, &sectors, &bytes, &free_clusters, &clusters)) return std::nullopt;
  const std::int64_t cluster = std::int64_t{sectors} * bytes;
  if (cluster <= 0) return std::nullopt;
  return cluster;
}

}  // namespace zq::platform
