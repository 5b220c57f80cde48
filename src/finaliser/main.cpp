// zqfinalise: started by an uninstaller as it ends, with the uninstaller's quoted path and then
// the quoted folders the installation made above its folder, deepest first. Waits until the
// uninstaller has ended (its file can be deleted), deletes it, removes the installation folder
// and then each folder named after it, each only when it is empty, then removes its own
// temporary folder.
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/path_text.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"
#include "platform/self_delete.h"
#include "platform/system_dlls.h"

namespace {

std::string Unquote(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

int Finalise(const std::string& uninstaller, const std::vector<std::string>& above) {
  if (uninstaller.empty()) return 2;
  // The file cannot be deleted while the uninstaller still runs; give it two minutes.
  for (int waited = 0; zq::platform::FileExists(uninstaller) && waited < 120000; waited += 100) {
    if (zq::platform::DeleteFileAt(uninstaller)) break;
    zq::platform::SleepMs(100);
  }
  const std::string folder = zq::ExtractFileDir(uninstaller);
  if (!folder.empty()) zq::platform::RemoveDir(folder);  // only when it is empty
  for (const std::string& f : above) zq::platform::RemoveDir(f);
  zq::platform::DeleteSelfAndFolder();
  return zq::platform::FileExists(uninstaller) ? 1 : 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  // It runs from the temporary folder, where anyone may have left a DLL.
  zq::platform::LoadDllsFromSystem32Only();
  // Started with the uninstaller's current folder, often the installation folder itself (a
  // double click there): a process's current folder cannot be removed.
  wchar_t system[MAX_PATH] = {};
  if (const UINT n = GetSystemDirectoryW(system, MAX_PATH); n != 0 && n < MAX_PATH) SetCurrentDirectoryW(system);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::u16string w;
    for (const wchar_t* p = argv[i]; *p; ++p) w += static_cast<char16_t>(*p);
    args.push_back(Unquote(zq::platform::WideToUtf8(w)));
  }
  if (args.empty()) return Finalise({}, {});
  return Finalise(args.front(), {args.begin() + 1, args.end()});
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Unquote(argv[i]));
  if (args.empty()) return Finalise({}, {});
  return Finalise(args.front(), {args.begin() + 1, args.end()});
}
#endif
