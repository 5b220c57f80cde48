// The uninstall log ("install.log"), scrambled lines in three lists, and its keyed check.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "uninstall/uninstall_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zq::TUninstallList log;
  std::string problem;
  const zq::LogKey key{1, 2, 3};
  const std::string folder = "C:\\Program Files\\Demo";
  zq::LogCheck check = zq::LogCheck::Verified;
  if (!log.LoadFromBuffer(data, size, &problem, &key, folder, &check)) {
    if (problem.empty()) std::abort();
    return 0;
  }
  // Read back from its own bytes, with its check, the log is the same and its check holds.
  zq::TUninstallList again;
  const auto bytes = log.Serialize(&key, folder);
  if (!again.LoadFromBuffer(bytes.data(), bytes.size(), nullptr, &key, folder, &check) ||
      check != zq::LogCheck::Verified || again.Files != log.Files || again.RegValues != log.RegValues ||
      again.Dirs != log.Dirs) {
    std::abort();
  }
  // The uninstaller splits every registry line into its fields.
  std::string fields[4];
  for (const auto& line : log.RegValues) zq::TUninstallList::SplitRegValueLine(line, fields);
  return 0;
}
