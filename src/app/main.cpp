// The engine's entry: zqsetup (host) and zqsetup.exe (win32).
#include <string>
#include <vector>

#include "app/engine_main.h"

#ifdef _WIN32
#include "platform/text.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::u16string w;
    for (const wchar_t* p = argv[i]; *p; ++p) w += static_cast<char16_t>(*p);
    args.push_back(zq::platform::WideToAnsi(w));
  }
  return zq::EngineMain(args);
}
#else
int main(int argc, char** argv) { return zq::EngineMain(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
