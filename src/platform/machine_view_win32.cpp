#include <windows.h>

#include "platform/machine_view.h"

namespace zq::platform {

bool IsWindows64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

FileViewScope::FileViewScope() {
  if (NativeView()) off_ = Wow64DisableWow64FsRedirection(&old_) != 0;
}

// The call's own error stays for its caller to read.
FileViewScope::~FileViewScope() {
  if (!off_) return;
  const DWORD error = GetLastError();
  Wow64RevertWow64FsRedirection(old_);
  SetLastError(error);
}

}  // namespace zq::platform
