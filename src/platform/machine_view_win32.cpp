#include <windows.h>

#include "platform/machine_view.h"

namespace zq::platform {

#ifdef _WIN64
// A 64-bit program starts on 64-bit Windows only, and sees the machine as it is.
bool IsWindows64() { return true; }
bool Is64BitEngine() { return true; }
FileViewScope::FileViewScope() = default;
#else
bool IsWindows64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}
bool Is64BitEngine() { return false; }
FileViewScope::FileViewScope() {
  if (NativeView()) off_ = Wow64DisableWow64FsRedirection(&old_) != 0;
}
#endif

// The call's own error stays for its caller to read.
FileViewScope::~FileViewScope() {
  if (!off_) return;
  const DWORD error = GetLastError();
  Wow64RevertWow64FsRedirection(old_);
  SetLastError(error);
}

}  // namespace zq::platform
