// The solid index names a codec whose window rule bounds a reader's memory: blocks of the codec
// written today may be larger than their window, blocks of the older one may not.
#include "container/solid_index.h"

#include <gtest/gtest.h>

#include "base/byte_io.h"
#include "codec/lzma_decoder.h"
#include "container/pak.h"

namespace zq {
namespace {

TEST(SolidIndexTest, EachCodecBoundsTheWindowItsReaderHolds) {
  struct Case {
    const char* what;
    std::uint16_t codec;
    std::uint32_t entry_size;  // two entries, one block
    std::string problem;       // empty: read, with `window`
    std::uint32_t window;
  };
  constexpr std::uint32_t kMiB = 1u << 20;
  const std::vector<Case> cases = {
      {"today's, small", 3, 5 * kMiB, "", 10 * kMiB},
      {"today's, larger than its window", 3, 40 * kMiB, "", kLzmaLaneWindow},
      {"older, within its 64 MiB", 2, 30 * kMiB, "", 60 * kMiB},
      {"older, beyond 64 MiB", 2, 40 * kMiB, "solid block 0 holds more than 64 MiB of data", 0},
      {"zstd of development builds", 1, kMiB, "the solid blocks use codec 1, which this reader does not know", 0},
      {"a codec yet to come", 4, kMiB, "the solid blocks use codec 4, which this reader does not know", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<TPakEntry> entries(3);
    for (std::uint32_t i = 1; i < 3; ++i) entries[i] = {"f", 0, 100 * i, 100, c.entry_size, 1};
    Bytes index = SerializeSolidIndex({{1, 2, 0}}, {0, 0});
    index[4] = static_cast<std::uint8_t>(c.codec);
    index[5] = 0;
    SolidIndex out;
    EXPECT_EQ(ParseSolidIndex(index.data(), index.size(), entries, out), c.problem);
    if (c.problem.empty()) {
      EXPECT_EQ(SolidWindow(out, out.Blocks.at(0)), c.window);
    }
  }
}

}  // namespace
}  // namespace zq
