// How much cutting a payload into LZMA2 blocks costs: compresses FILE in blocks of BLOCK MiB,
// each primed with the PRESET MiB of data before it (0: independent blocks, as zq build packs
// them), with the builder's settings, and prints the total and the CPU time.
//
//   build/host-release/bench/lzma_blocks FILE BLOCK_MIB PRESET_MIB
#include <lzma.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: lzma_blocks FILE BLOCK_MIB PRESET_MIB\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.eof() && in.fail()) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const std::size_t block = std::strtoull(argv[2], nullptr, 10) << 20;
  const std::size_t preset = std::strtoull(argv[3], nullptr, 10) << 20;
  if (block == 0 || block + preset > (64u << 20)) {
    std::fprintf(stderr, "a block and its preset must be 1 to 64 MiB together\n");
    return 2;
  }
  std::vector<unsigned char> out(block + block / 2 + 65536);
  std::size_t total = 0;
  const std::clock_t start = std::clock();
  for (std::size_t at = 0; at < data.size(); at += block) {
    const std::size_t size = std::min(block, data.size() - at);
    const std::size_t primed = std::min(at, preset);
    lzma_options_lzma options{};
    lzma_lzma_preset(&options, 9);
    options.pb = 0;
    options.dict_size = std::max<std::size_t>(size + primed, LZMA_DICT_SIZE_MIN);
    options.preset_dict = primed ? data.data() + at - primed : nullptr;
    options.preset_dict_size = primed;
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    std::size_t used = 0;
    if (lzma_raw_buffer_encode(filters, nullptr, data.data() + at, size, out.data(), &used, out.size()) != LZMA_OK) {
      std::fprintf(stderr, "the encoder failed at %zu\n", at);
      return 1;
    }
    total += used;
  }
  std::printf("%zu bytes in blocks of %s MiB primed with %s MiB: %zu bytes, %.1f s of CPU\n", data.size(), argv[2],
              argv[3], total, double(std::clock() - start) / CLOCKS_PER_SEC);
  return 0;
}
