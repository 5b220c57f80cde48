#include "archives/journal.h"

#include <gtest/gtest.h>

#include "archives/memory_file_system.h"
#include "base/byte_io.h"

namespace zq {
namespace {

// A journal as an update writes it: the header, then range records, each closed by its CRC-32.
Bytes Journal(std::uint64_t original_size, const std::vector<std::pair<std::uint64_t, Bytes>>& ranges) {
  Bytes j = {'Z', 'Q', 'J', '1'};
  PutU64(j, original_size);
  PutU32(j, Crc32(j.data(), j.size()));
  for (const auto& [position, old] : ranges) {
    Bytes r = {'R'};
    PutU64(r, position);
    PutU32(r, static_cast<std::uint32_t>(old.size()));
    r.insert(r.end(), old.begin(), old.end());
    PutU32(r, Crc32(r.data(), r.size()));
    j.insert(j.end(), r.begin(), r.end());
  }
  return j;
}

TEST(JournalTest, DamagedJournalsNeverGrowTheArchive) {
  struct Case {
    const char* what;
    std::uint64_t original_size;
    std::vector<std::pair<std::uint64_t, Bytes>> ranges;
    bool recovered;
    Bytes archive;  // afterwards
  };
  const Case cases[] = {
      {"a sound journal: the kept bytes back, the tail cut", 4, {{1, {'x', 'y'}}}, true, {'a', 'x', 'y', 'd'}},
      {"a range past the original size ends the journal there", 4, {{1, {'x'}}, {0xFC00000000, {'z'}}}, true,
       {'a', 'x', 'c', 'd'}},
      {"an original size beyond the archive and every range", 0xFC00000000, {{1, {'x'}}}, false,
       {'a', 'b', 'c', 'd', 'e', 'f'}},
  };
  for (const Case& c : cases) {
    test::MemoryFileSystem fs;
    fs.Files["game.zqp"] = {'a', 'b', 'c', 'd', 'e', 'f'};
    fs.Files[TJournal::PathFor("game.zqp")] = Journal(c.original_size, c.ranges);
    EXPECT_EQ(TJournal::Recover(fs, "game.zqp"), c.recovered) << c.what;
    EXPECT_EQ(fs.Files["game.zqp"], c.archive) << c.what;
    EXPECT_EQ(fs.Exists(TJournal::PathFor("game.zqp")), !c.recovered) << c.what;
  }
}

}  // namespace
}  // namespace zq
