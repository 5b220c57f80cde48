#include "platform/run_lock.h"

#include <windows.h>

#include <mutex>
#include <set>

#include "platform/win32_strings.h"

namespace zq::platform {

RunLock HoldRunLock(const std::string& product) {
  static std::mutex mutex;
  static std::set<std::wstring> held;
  const std::wstring name = L"Global\\zqsetup-run-" + win32::Wide(RunLockName(product));
  std::lock_guard lock(mutex);
  if (held.count(name) != 0) return RunLock::Held;
  // The mutex is never waited on: that it exists is the lock, and it goes with the last handle.
  HANDLE h = CreateMutexW(nullptr, FALSE, name.c_str());
  if (h == nullptr) {
    // Made by another user (a service, an elevated run): its access rules keep us out.
    return GetLastError() == ERROR_ACCESS_DENIED ? RunLock::Busy : RunLock::Unavailable;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    return RunLock::Busy;
  }
  held.insert(name);  // the handle stays open for the rest of the process
  return RunLock::Held;
}

}  // namespace zq::platform
