// The floor an install is measured against: one thread that reads each payload entry of a
// setup, inflates it with libdeflate and writes it out, with nothing else (no verification
// pass, no log, no progress).
//   inflate_write_bound SETUP OUTDIR
#include <libdeflate.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "container/pak.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: inflate_write_bound SETUP OUTDIR\n");
    return 2;
  }
  zq::TPak pak(argv[1]);
  zq::platform::File file;  // the stored blocks are read raw, without the reader's CRC check
  if (!pak.HasValidHeader() || !file.Open(argv[1], zq::platform::OpenMode::ReadShared)) {
    std::fprintf(stderr, "%s: no package\n", argv[1]);
    return 1;
  }
  const std::filesystem::path out = argv[2];
  libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
  std::vector<unsigned char> stored, data;
  std::uint64_t bytes = 0;
  for (const zq::TPakEntry& e : pak.Entries()) {
    if (e.Group == 0) continue;  // the setup's own records, not payload
    std::string relative = e.Name;
    for (char& c : relative) c = c == '\\' ? '/' : c;
    const std::filesystem::path target = out / relative;
    std::filesystem::create_directories(target.parent_path());
    stored.resize(e.StoredSize());
    if (!file.Seek(e.Offset) || file.Read(stored.data(), stored.size()) != stored.size()) return 1;
    const unsigned char* bytes_out = stored.data();
    if (e.CompSize != 0) {
      data.resize(e.OrigSize);
      std::size_t got = 0;
      if (libdeflate_zlib_decompress(inflater, stored.data(), stored.size(), data.data(), data.size(), &got) !=
              LIBDEFLATE_SUCCESS ||
          got != e.OrigSize) {
        std::fprintf(stderr, "%s: damaged\n", e.Name.c_str());
        return 1;
      }
      bytes_out = data.data();
    }
    std::FILE* f = std::fopen(target.c_str(), "wb");
    if (f == nullptr || std::fwrite(bytes_out, 1, e.OrigSize, f) != e.OrigSize || std::fclose(f) != 0) return 1;
    bytes += e.OrigSize;
  }
  libdeflate_free_decompressor(inflater);
  std::printf("%llu bytes\n", static_cast<unsigned long long>(bytes));
  return 0;
}
