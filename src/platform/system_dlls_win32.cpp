#include "platform/system_dlls.h"

#include <windows.h>

#include <string>

namespace zq::platform {

void LoadDllsFromSystem32Only() {
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  const auto set = reinterpret_cast<SetDirectories>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set != nullptr && set(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  SetDllDirectoryW(L"");
}

void* LoadSystemDll(const wchar_t* dll) {
  HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A loader that does not know the flag: the full path instead.
    wchar_t dir[MAX_PATH];
    const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    module = LoadLibraryW((std::wstring(dir, n) + L"\\" + dll).c_str());
  }
  return module;
}

void* SystemProc(const wchar_t* dll, const char* name) {
  HMODULE module = static_cast<HMODULE>(LoadSystemDll(dll));
  return module == nullptr ? nullptr : reinterpret_cast<void*>(GetProcAddress(module, name));
}

}  // namespace zq::platform
