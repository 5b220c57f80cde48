/* Holds a file open as another program would (no sharing of deletion or renaming) until a
   file named like it with ".release" appears, or a minute has passed. Writes "<file>.held" once
   it holds it. */
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  HANDLE h = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (h == INVALID_HANDLE_VALUE) return 1;
  wchar_t held[MAX_PATH], release[MAX_PATH];
  wsprintfW(held, L"%s.held", argv[1]);
  wsprintfW(release, L"%s.release", argv[1]);
  CloseHandle(CreateFileW(held, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
  for (int i = 0; i < 600 && GetFileAttributesW(release) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
  CloseHandle(h);
  DeleteFileW(held);
  DeleteFileW(release);
  return 0;
}
