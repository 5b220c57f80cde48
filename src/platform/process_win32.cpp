#include <windows.h>
#include <shellapi.h>

#include "platform/process.h"
#include "platform/win32_strings.h"

namespace zq::platform {

namespace {

class Win32Process : public Process {
 public:
  explicit Win32Process(HANDLE h) : handle_(h) {}
  ~Win32Process() override { CloseHandle(handle_); }
  std::optional<std::uint32_t> ExitCode() override {
    DWORD code = 0;
    if (!GetExitCodeProcess(handle_, &code)) return 1u;
    if (code == STILL_ACTIVE) return std::nullopt;
    return static_cast<std::uint32_t>(code);
  }
  std::optional<std::uint32_t> WaitForExit(std::uint32_t timeout_ms) override {
    WaitForSingleObject(handle_, timeout_ms);
    return ExitCode();
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::unique_ptr<Process> ShellExecuteProcess(const std::string& file, const std::string& parameters) {
  std::wstring wfile = win32::Wide(file);
  std::wstring wparams = win32::Wide(parameters);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpFile = wfile.c_str();
  info.lpParameters = parameters.empty() ? nullptr : wparams.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info) || info.hProcess == nullptr) return nullptr;
  return std::make_unique<Win32Process>(info.hProcess);
}

std::optional<int> RunShellCommand(const std::string& command) {
  // The interpreter from the system folder, never one found beside the program or in the
  // current folder; /s keeps the command's own quotes.
  wchar_t system[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::nullopt;
  const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
  std::wstring line = L"\"" + cmd + L"\" /d /s /c \"" + win32::Wide(command) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(cmd.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    return std::nullopt;
  }
  CloseHandle(pi.hThread);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  const bool got = GetExitCodeProcess(pi.hProcess, &code) != 0;
  CloseHandle(pi.hProcess);
  if (!got) return std::nullopt;
  return static_cast<int>(code);
}

std::string ShellQuote(const std::string& path) { return "\"" + path + "\""; }

std::string RawCommandLine() {
  const wchar_t* line = GetCommandLineW();
  return line != nullptr ? win32::Narrow(line, wcslen(line)) : std::string();
}

}  // namespace zq::platform
