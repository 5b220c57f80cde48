#include <windows.h>
#include <shellapi.h>
// The shell's dispatch interface names its method ShellExecute, which the function's macro
// would rename: the macro goes before that interface is declared.
#undef ShellExecute
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "platform/process.h"
#include "platform/shell_link.h"
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

// A COM pointer released when it goes.
template <class T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p) p->Release();
  }
  T** out() { return &p; }
  T* operator->() const { return p; }
};

struct Bstr {
  BSTR b;
  explicit Bstr(const std::wstring& s) : b(SysAllocString(s.c_str())) {}
  ~Bstr() { SysFreeString(b); }
};

// The desktop's shell (the process that runs the desktop window, with the user's own rights)
// runs the program, through its folder view's IShellDispatch2.
bool ShellOfTheDesktopStarts(const std::wstring& file, const std::wstring& parameters, const std::wstring& directory) {
  ComRef<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(windows.out())))) {
    return false;
  }
  VARIANT location{}, empty{};
  location.vt = VT_I4;
  location.lVal = CSIDL_DESKTOP;
  long hwnd = 0;
  ComRef<IDispatch> dispatch;
  if (windows->FindWindowSW(&location, &empty, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, dispatch.out()) != S_OK ||
      dispatch.p == nullptr) {
    return false;
  }
  ComRef<IServiceProvider> services;
  ComRef<IShellBrowser> browser;
  ComRef<IShellView> view;
  ComRef<IDispatch> background;
  ComRef<IShellFolderViewDual> folder_view;
  ComRef<IDispatch> application;
  ComRef<IShellDispatch2> shell;
  if (FAILED(dispatch->QueryInterface(IID_PPV_ARGS(services.out()))) ||
      FAILED(services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(browser.out()))) ||
      FAILED(browser->QueryActiveShellView(view.out())) ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(background.out()))) ||
      FAILED(background->QueryInterface(IID_PPV_ARGS(folder_view.out()))) ||
      FAILED(folder_view->get_Application(application.out())) ||
      FAILED(application->QueryInterface(IID_PPV_ARGS(shell.out())))) {
    return false;
  }
  const Bstr wfile(file), wparams(parameters), wdir(directory), verb(L"");
  VARIANT args{}, dir{}, operation{}, show{};
  args.vt = dir.vt = operation.vt = VT_BSTR;
  args.bstrVal = wparams.b;
  dir.bstrVal = wdir.b;
  operation.bstrVal = verb.b;
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return SUCCEEDED(shell->ShellExecute(wfile.b, args, dir, operation, show));
}

}  // namespace

bool StartAsDesktopUser(const std::string& file, const std::string& parameters, const std::string& directory) {
  const std::wstring wfile = win32::Wide(file), wparams = win32::Wide(parameters), wdir = win32::Wide(directory);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool started = ShellOfTheDesktopStarts(wfile, wparams, wdir);
  if (!started) {
    // No desktop shell to ask: the shell's default action from here. A document gives no
    // process of its own to wait for, so only the start is checked.
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpFile = wfile.c_str();
    info.lpParameters = parameters.empty() ? nullptr : wparams.c_str();
    info.lpDirectory = directory.empty() ? nullptr : wdir.c_str();
    info.nShow = SW_SHOWNORMAL;
    started = ShellExecuteExW(&info) != FALSE;
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return started;
}

std::unique_ptr<Process> ShellExecuteProcess(const std::string& file, const std::string& parameters) {
  ComApartment::EnterDeferred();  // the shell may hand the start to its extensions
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
