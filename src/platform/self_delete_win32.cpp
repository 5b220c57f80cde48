#include <windows.h>

#include <string>

#include "platform/self_delete.h"
#include "platform/win32_strings.h"

namespace zq::platform {

namespace {

bool WriteText(const std::wstring& path, const std::string& text) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(h);
  return ok;
}

}  // namespace

void DeleteSelfAndFolder() {
  wchar_t self[MAX_PATH * 2] = {};
  DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
  if (n == 0 || n >= MAX_PATH * 2) return;
  const std::wstring exe(self, n);
  const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  // Some systems let a running program's file go at once.
  if (DeleteFileW(exe.c_str())) {
    RemoveDirectoryW(folder.c_str());
    return;
  }
  // Otherwise a small batch file beside the folder retries once a second for a minute, then
  // removes the folder and itself. Labels and goto are what every command interpreter runs.
  const std::wstring script = folder + L"-cleanup.cmd";
  const std::string e = win32::Narrow(exe.c_str(), exe.size());
  const std::string d = win32::Narrow(folder.c_str(), folder.size());
  const std::string text =
      "@echo off\r\nset n=0\r\n:retry\r\ndel /f /q \"" + e + "\" >nul 2>&1\r\nif not exist \"" + e +
      "\" goto gone\r\nset /a n=n+1\r\nif %n% geq 60 goto done\r\nping -n 2 127.0.0.1 >nul\r\ngoto retry\r\n"
      ":gone\r\nrmdir \"" +
      d + "\" >nul 2>&1\r\n:done\r\ndel /f /q \"%~f0\" >nul 2>&1\r\n";
  if (WriteText(script, text)) {
    std::wstring command = L"cmd.exe /d /q /c \"" + script + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                       &pi)) {
      CloseHandle(pi.hThread);
      CloseHandle(pi.hProcess);
      return;
    }
    DeleteFileW(script.c_str());
  }
  MoveFileExW(exe.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace zq::platform
