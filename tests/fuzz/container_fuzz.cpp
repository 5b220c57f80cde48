// The setup package container: trailer, directory and every entry read as start-up and
// `zq verify` read them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "container/pak.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // TPak reads a file; the scratch file is rewritten for every input.
  const std::string path = zq::fuzz::ScratchFile("package.exe", data, size);
  zq::TPak pak(path);
  if (!pak.HasValidHeader()) return 0;
  for (std::size_t i = 0; i < pak.Entries().size(); ++i) {
    pak.VerifyEntry(i);
    pak.Extract(i);
  }
  for (const std::size_t i : pak.IndexesInGroup(0)) pak.ExtractByName(pak.Entries()[i].Name, 0);
  pak.CountGroupedEntries();
  return 0;
}
