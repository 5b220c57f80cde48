#include "platform/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/machine_view.h"
#include "platform/win32_strings.h"

namespace zq::platform {

namespace {

// Windows keeps it in the 64-bit view of its own registry; ProgramW6432 is the same for
// processes that inherit the usual environment.
std::optional<std::string> ProgramFiles64() {
  wchar_t buf[MAX_PATH + 1] = {};
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) == ERROR_SUCCESS) {
    DWORD type = 0, size = MAX_PATH * sizeof(wchar_t);
    const LONG rc = RegQueryValueExW(key, L"ProgramFilesDir", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && type == REG_SZ && buf[0] != L'\0') return win32::Narrow(std::wstring(buf));
  }
  const DWORD n = GetEnvironmentVariableW(L"ProgramW6432", buf, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return win32::Narrow(std::wstring(buf, n));
  return std::nullopt;
}

}  // namespace

std::optional<std::string> SpecialFolderPath(int csidl) {
#ifdef _WIN64
  // The shell answers a 64-bit program with its own folder; the 32-bit one has a number of its own.
  if (csidl == kCsidlProgramFiles) csidl = CSIDL_PROGRAM_FILESX86;
  if (csidl == kFolderProgramFiles64) csidl = CSIDL_PROGRAM_FILES;
#endif
  if (csidl == kFolderProgramFiles64) {
    if (IsWindows64()) {
      auto path = ProgramFiles64();
      if (path && path->size() > 3 && path->back() == '\\') path->pop_back();
      return path;
    }
    csidl = kCsidlProgramFiles;
  }
  wchar_t buf[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return std::nullopt;
  std::string path = win32::Narrow(std::wstring(buf));
  if (path.empty()) return std::nullopt;
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace zq::platform
