#include "platform/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/win32_strings.h"

namespace zq::platform {

std::optional<std::string> SpecialFolderPath(int csidl) {
  wchar_t buf[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buf))) return std::nullopt;
  std::string path = win32::Narrow(std::wstring(buf));
  if (path.empty()) return std::nullopt;
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace zq::platform
