// zqfinalise: started by an uninstaller as it ends, with the uninstaller's quoted path. Waits
// until the uninstaller has ended (its file can be deleted), deletes it, removes the
// installation folder when it is empty, then removes its own temporary folder.
#include <string>
#include <vector>

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

int Finalise(const std::string& uninstaller) {
  if (uninstaller.empty()) return 2;
  // The file cannot be deleted while the uninstaller still runs; give it two minutes.
  for (int waited = 0; zq::platform::FileExists(uninstaller) && waited < 120000; waited += 100) {
    if (zq::platform::DeleteFileAt(uninstaller)) break;
    zq::platform::SleepMs(100);
  }
  const std::string folder = zq::ExtractFileDir(uninstaller);
  if (!folder.empty()) zq::platform::RemoveDir(folder);  // only when it is empty
  zq::platform::DeleteSelfAndFolder();
  return zq::platform::FileExists(uninstaller) ? 1 : 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  // It runs from the temporary folder, where anyone may have left a DLL.
  zq::platform::LoadDllsFromSystem32Only();
  std::u16string w;
  if (argc > 1) {
    for (const wchar_t* p = argv[1]; *p; ++p) w += static_cast<char16_t>(*p);
  }
  return Finalise(Unquote(zq::platform::WideToUtf8(w)));
}
#else
int main(int argc, char** argv) { return Finalise(argc > 1 ? Unquote(argv[1]) : std::string()); }
#endif
