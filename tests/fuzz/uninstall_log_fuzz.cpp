// The uninstall log ("install.log"), scrambled lines in three lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "uninstall/uninstall_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zq::TUninstallList log;
  std::string problem;
  if (!log.LoadFromBuffer(data, size, &problem)) {
    if (problem.empty()) std::abort();
    return 0;
  }
  // Read back from its own bytes, the log is the same.
  zq::TUninstallList again;
  const auto bytes = log.Serialize();
  if (!again.LoadFromBuffer(bytes.data(), bytes.size()) || again.Files != log.Files ||
      again.RegValues != log.RegValues || again.Dirs != log.Dirs) {
    std::abort();
  }
  // The uninstaller splits every registry line into its fields.
  std::string fields[4];
  for (const auto& line : log.RegValues) zq::TUninstallList::SplitRegValueLine(line, fields);
  return 0;
}
