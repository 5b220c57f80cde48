// The engine's command line: arguments cut at NUL bytes and line ends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '\0' || c == '\n') args.emplace_back();
    else args.back() += c;
  }
  const zq::EngineOptions options = zq::ParseEngineCommandLine(args);
  // A folder taken for /D= is one InstallDirProblem accepts.
  if (options.install_dir && !zq::InstallDirProblem(*options.install_dir).empty()) std::abort();
  return 0;
}
