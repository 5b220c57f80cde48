// The VFS archive and its ".ht" hash file: header, allocation table, root table and the
// directory tree read as the engine's update reads them (then a file added, the header and the
// hash file saved, and the result read again), and as `zq vfs check` reads them. The input
// is a u16 length, that many bytes of the .ht file (none for 0), then the archive.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "archives/memory_file_system.h"
#include "archives/vfs.h"
#include "fuzz_support.h"
#include "tools/commands.h"

namespace {

constexpr const char* kPath = "world.vfs";

void Update(zq::test::MemoryFileSystem& fs) {
  {
    // Outside hash mode the .ht file is loaded as it stands and written back on saving.
    zq::TVFSFile plain(fs);
    try {
      plain.Open(kPath, false);
    } catch (const zq::ArchiveFailure&) {
      return;
    }
  }
  zq::TVFSFile vfs(fs);
  try {
    vfs.Open(kPath, true);
    for (const auto& node : vfs.Tree->Nodes) {
      if (node.Index != -1) vfs.ReadFileData(*node.Entry);
    }
    const std::uint8_t text[] = "levels\n";
    vfs.Tree->AddFile("Levels\\Intro\\notes.txt", text, sizeof text);
    vfs.SaveHeader(false);
    vfs.Close();
  } catch (const zq::ArchiveFailure&) {
    vfs.Abandon();  // no free block, a broken chain: rolled back as the engine does
    return;
  }
  // What an update saved is read again. It may be refused: blocks that a damaged table calls
  // free while a directory holds them are taken for the new file's folders as the format says.
  try {
    zq::TVFSFile(fs).Open(kPath, true);
  } catch (const zq::ArchiveFailure&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t ht = std::min<std::size_t>(data[0] | data[1] << 8, size - 2);
  const std::uint8_t* archive = data + 2 + ht;
  const std::size_t archive_size = size - 2 - ht;

  zq::test::MemoryFileSystem fs;
  fs.Files[kPath].assign(archive, archive + archive_size);
  if (ht > 0) fs.Files[zq::TVFSFile::HashFilePath(kPath)].assign(data + 2, data + 2 + ht);
  Update(fs);

  const std::string path = zq::fuzz::ScratchFile(kPath, archive, archive_size);
  const std::string ht_path = zq::TVFSFile::HashFilePath(path);
  if (ht > 0) zq::fuzz::ScratchFile("world.ht", data + 2, ht);
  else std::remove(ht_path.c_str());
  std::ostringstream out, err;
  zq::tool::RunVfs({"check", path}, out, err);
  zq::tool::RunVfs({"list", path, "--json"}, out, err);
  return 0;
}
