#include <windows.h>
#include <restartmanager.h>

#include "platform/file_holders.h"
#include "platform/text.h"

namespace zq::platform {

namespace {

using StartSession = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using EndSession = DWORD(WINAPI*)(DWORD);
using RegisterResources = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using GetList = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);

}  // namespace

std::vector<std::string> ProgramsHolding(const std::string& path) {
  // Loaded from System32 only when asked: most runs never meet a file in use.
  HMODULE rm = LoadLibraryExW(L"rstrtmgr.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (rm == nullptr) return {};
  auto start = reinterpret_cast<StartSession>(reinterpret_cast<void*>(GetProcAddress(rm, "RmStartSession")));
  auto end = reinterpret_cast<EndSession>(reinterpret_cast<void*>(GetProcAddress(rm, "RmEndSession")));
  auto add = reinterpret_cast<RegisterResources>(reinterpret_cast<void*>(GetProcAddress(rm, "RmRegisterResources")));
  auto list = reinterpret_cast<GetList>(reinterpret_cast<void*>(GetProcAddress(rm, "RmGetList")));
  std::vector<std::string> names;
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (start && end && add && list && start(&session, 0, key) == ERROR_SUCCESS) {
    const std::u16string wide = Utf8ToWide(path);
    LPCWSTR files[] = {reinterpret_cast<LPCWSTR>(wide.c_str())};
    UINT needed = 0, count = 0;
    DWORD reasons = 0;
    if (add(session, 1, files, 0, nullptr, 0, nullptr) == ERROR_SUCCESS &&
        list(session, &needed, &count, nullptr, &reasons) == ERROR_MORE_DATA && needed > 0) {
      std::vector<RM_PROCESS_INFO> infos(needed);
      count = needed;
      if (list(session, &needed, &count, infos.data(), &reasons) == ERROR_SUCCESS) {
        for (UINT i = 0; i < count; ++i) {
          names.push_back(WideToUtf8(reinterpret_cast<const char16_t*>(infos[i].strAppName)));
        }
      }
    }
    end(session);
  }
  FreeLibrary(rm);
  return names;
}

}  // namespace zq::platform
