#include <windows.h>

#include <string>

#include "platform/self_delete.h"

namespace zq::platform {

void DeleteSelfAndFolder() {
  wchar_t self[MAX_PATH * 2] = {};
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return;
  std::wstring exe(self, n);
  std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  // Tries for about a minute: delete the file once this process has let go of it, then the folder.
  std::wstring command = L"cmd.exe /d /q /c for /l %i in (1,1,60) do @(if exist \"" + exe + L"\" (del /f /q \"" + exe +
                         L"\" >nul 2>&1 & ping -n 2 127.0.0.1 >nul) else (rmdir \"" + folder +
                         L"\" >nul 2>&1 & exit /b 0))";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW | DETACHED_PROCESS, nullptr,
                     nullptr, &si, &pi)) {
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  MoveFileExW(exe.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace zq::platform
