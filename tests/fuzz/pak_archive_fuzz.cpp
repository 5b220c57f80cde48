// The package archive (".zqp"): trailers (none, version 2, version 3 with its enciphered
// password), the masked zlib directory and the members, read as `zq pak check` reads them and
// updated as the engine updates them (journal first). The input is a u16 length, that many
// bytes of a journal left beside the package (none for 0), then the package.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "archives/journal.h"
#include "archives/memory_file_system.h"
#include "archives/pak_system.h"
#include "fuzz_support.h"
#include "tools/commands.h"

namespace {

constexpr const char* kPath = "game.zqp";

void Update(zq::test::MemoryFileSystem& fs) {
  zq::TPakSystem pak(fs);
  try {
    if (pak.OpenArchive(kPath) != zq::TPakSystem::OpenResult::Ok) return;
  } catch (const zq::ArchiveFailure&) {
    return;  // "File ... has corrupted header."
  }
  const auto records = pak.Records();
  pak.BeginUpdate();
  const zq::Bytes text = {'n', 'e', 'w', '\n'};
  pak.AddMember("maps\\new.txt", static_cast<std::uint32_t>(text.size()), text);
  if (!records.empty()) {
    pak.AddMember(records.front().Name, static_cast<std::uint32_t>(text.size()), text);
    pak.DuplicateMember(records.back().Name, "copy.bin");
  }
  pak.WritePackageDirectory();
  // What an update wrote reads back, with every record it had.
  zq::TPakSystem again(fs);
  if (again.OpenArchive(kPath) != zq::TPakSystem::OpenResult::Ok || again.Find("maps\\new.txt") == nullptr ||
      fs.Exists(zq::ArchiveJournal::PathFor(kPath))) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t journal = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
  const std::uint8_t* package = data + 2 + journal;
  const std::size_t package_size = size - 2 - journal;

  zq::test::MemoryFileSystem fs;
  fs.Files[kPath].assign(package, package + package_size);
  if (journal > 0) fs.Files[zq::ArchiveJournal::PathFor(kPath)].assign(data + 2, data + 2 + journal);
  Update(fs);

  const std::string path = zq::fuzz::ScratchFile(kPath, package, package_size);
  std::ostringstream out, err;
  zq::tool::RunPak({"check", path}, out, err);
  zq::tool::RunPak({"list", path, "--json"}, out, err);
  return 0;
}
