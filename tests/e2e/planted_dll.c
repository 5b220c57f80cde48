/* A DLL planted beside a program by wine_planted_dll.sh: loaded, it leaves "<its path>.loaded"
   and refuses to stay. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    WCHAR path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      lstrcatW(path, L".loaded");
      HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
      if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    }
  }
  return FALSE;
}
