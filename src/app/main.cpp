// The engine's entry: zqsetup (host) and zqsetup.exe (win32).
#include <string>
#include <vector>

#include "app/engine_main.h"

#ifdef _WIN32
#include "base/path_text.h"
#include "platform/process.h"
#include "platform/system_dlls.h"
#include "platform/text.h"

namespace {

// "/D=" takes the rest of the line as the system passed it: splitting into arguments would
// fold runs of blanks and drop quotes inside the folder's name.
void TakeRawInstallDir(std::vector<std::string>& args) {
  const std::string raw = zq::platform::RawCommandLine();
  const std::string upper = zq::AsciiUpperCase(raw);
  const std::size_t at = upper.rfind(" /D=");
  if (at == std::string::npos) return;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (zq::AsciiUpperCase(args[i]).rfind("/D=", 0) != 0) continue;
    std::string folder = raw.substr(at + 4);
    while (!folder.empty() && (folder.back() == ' ' || folder.back() == '\t')) folder.pop_back();
    if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
      folder = folder.substr(1, folder.size() - 2);
    args.resize(i);
    args.push_back("/D=" + folder);
    return;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // First: a setup runs from a downloads folder, its uninstaller from the temporary folder.
  zq::platform::LoadDllsFromSystem32Only();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::u16string w;
    for (const wchar_t* p = argv[i]; *p; ++p) w += static_cast<char16_t>(*p);
    args.push_back(zq::platform::WideToUtf8(w));
  }
  TakeRawInstallDir(args);
  return zq::EngineMain(args);
}
#else
int main(int argc, char** argv) { return zq::EngineMain(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
