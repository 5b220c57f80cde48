#include "archives/journal.h"

#include <gtest/gtest.h>

#include <functional>

#include "archives/memory_file_system.h"
#include "base/byte_io.h"

namespace zq {
namespace {

using Outcome = JournalRecovery::Outcome;

Bytes Noise(std::size_t n, std::uint32_t seed) {
  Bytes b(n);
  for (auto& c : b) c = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 24);
  return b;
}

// A journal as an update writes it for an archive that held `original`: the header with that
// archive's identity, then range and companion records, each closed by its CRC-32.
struct Record {
  std::uint64_t position;
  Bytes old;
  std::string side;  // a companion's name instead of a range
};
Bytes JournalBytes(const Bytes& original, std::uint64_t original_size, const std::vector<Record>& records) {
  const std::size_t span = std::min<std::size_t>(original.size(), 64 * 1024);
  Bytes j = {'Z', 'Q', 'J', '2'};
  PutU64(j, original_size);
  PutU32(j, 64 * 1024);
  PutU32(j, Crc32(original.data(), span));
  PutU32(j, Crc32(original.data() + original.size() - span, span));
  PutU32(j, Crc32(j.data(), j.size()));
  for (const auto& record : records) {
    Bytes r;
    if (record.side.empty()) {
      r = {'R'};
      PutU64(r, record.position);
      PutU32(r, static_cast<std::uint32_t>(record.old.size()));
    } else {
      r = {'S'};
      PutU16(r, static_cast<std::uint16_t>(record.side.size()));
      PutText(r, record.side);
      PutU8(r, 1);
      PutU32(r, static_cast<std::uint32_t>(record.old.size()));
    }
    r.insert(r.end(), record.old.begin(), record.old.end());
    PutU32(r, Crc32(r.data(), r.size()));
    j.insert(j.end(), r.begin(), r.end());
  }
  return j;
}

TEST(JournalTest, DamagedJournalsNeverGrowTheArchiveNorWriteElsewhere) {
  struct Case {
    const char* what;
    Bytes original;  // whose identity the header carries
    std::uint64_t original_size;
    std::vector<Record> records;
    Outcome outcome;
    Bytes archive;  // afterwards
  };
  const Case cases[] = {
      {"a sound journal: the kept bytes back, the tail cut",
       {'a', 'x', 'y', 'd'},
       4,
       {{1, {'x', 'y'}, ""}},
       Outcome::RolledBack,
       {'a', 'x', 'y', 'd'}},
      {"a range past the original size ends the journal there",
       {'a', 'x', 'c', 'd'},
       4,
       {{1, {'x'}, ""}, {0xFC00000000, {'z'}, ""}},
       Outcome::RolledBack,
       {'a', 'x', 'c', 'd'}},
      {"a companion named outside the archive's folder ends the journal there",
       {'x', 'b', 'c', 'd'},
       4,
       {{0, {'x'}, ""}, {0, {'h', 't'}, "..\\evil.ht"}},
       Outcome::RolledBack,
       {'x', 'b', 'c', 'd'}},
      {"an original size beyond the archive and every range is not this archive's",
       {'a', 'x'},
       0xFC00000000,
       {{1, {'x'}, ""}},
       Outcome::Rejected,
       {'a', 'b', 'c', 'd', 'e', 'f'}},
  };
  for (const Case& c : cases) {
    test::MemoryFileSystem fs;
    fs.Files["data\\game.zqp"] = {'a', 'b', 'c', 'd', 'e', 'f'};
    fs.Files[ArchiveJournal::PathFor("data\\game.zqp")] = JournalBytes(c.original, c.original_size, c.records);
    EXPECT_EQ(ArchiveJournal::Recover(fs, "data\\game.zqp").outcome, c.outcome) << c.what;
    EXPECT_EQ(fs.Files["data\\game.zqp"], c.archive) << c.what;
    EXPECT_FALSE(fs.Exists(ArchiveJournal::PathFor("data\\game.zqp"))) << c.what;
    EXPECT_EQ(fs.Files.size(), 1u) << c.what;
  }
}

// An update interrupted after it wrote over the archive's tail and grew it, as a crash leaves it.
void Interrupt(test::MemoryFileSystem& fs, const std::string& path, const Bytes& original) {
  fs.Files[path] = original;
  ArchiveJournal journal(fs, path);
  auto io = fs.Open(path, false);
  journal.Begin(*io);
  JournaledFile file(*io, journal);
  const Bytes update = Noise(3000, 7);
  file.WriteAt(original.size() - 1000, update.data(), update.size());
  file.WriteAt(10, update.data(), 20);
  journal.Detach();
}

// A journal is applied only to the archive it was written for; anything else keeps the archive
// as it is and loses the journal, and says why.
TEST(JournalTest, OnlyTheArchivesOwnJournalIsApplied) {
  const std::string path = "C:\\Game\\data\\game.zqp";
  const Bytes v10 = Noise(150000, 1);  // larger than both identity spans together
  // A fresh 1.1 of the same size: the same first members, other last ones and directory.
  Bytes v11 = v10;
  const Bytes other_tail = Noise(70000, 2);
  std::copy(other_tail.begin(), other_tail.end(), v11.end() - static_cast<std::ptrdiff_t>(other_tail.size()));
  struct Case {
    const char* what;
    std::function<void(test::MemoryFileSystem&)> make;
    Outcome outcome;
    Bytes archive;  // afterwards
  };
  const Case cases[] = {
      {"the update's own archive: rolled back byte for byte",
       [&](test::MemoryFileSystem& fs) { Interrupt(fs, path, v10); }, Outcome::RolledBack, v10},
      {"a journal of another archive of the same name beside an untouched one",
       [&](test::MemoryFileSystem& fs) {
         Interrupt(fs, "D:\\Other\\data\\game.zqp", Noise(150000, 3));
         fs.Files[ArchiveJournal::PathFor(path)] = fs.Files[ArchiveJournal::PathFor("D:\\Other\\data\\game.zqp")];
         fs.Files.erase(ArchiveJournal::PathFor("D:\\Other\\data\\game.zqp"));
         fs.Files.erase("D:\\Other\\data\\game.zqp");
         fs.Files[path] = v10;
       },
       Outcome::Rejected, v10},
      {"the archive replaced by a fresh install of the same size",
       [&](test::MemoryFileSystem& fs) {
         Interrupt(fs, path, v10);
         fs.Files[path] = v11;
       },
       Outcome::Rejected, v11},
      {"the archive replaced by a smaller one",
       [&](test::MemoryFileSystem& fs) {
         Interrupt(fs, path, v10);
         fs.Files[path] = Bytes(v11.begin(), v11.begin() + 90000);
       },
       Outcome::Rejected, Bytes(v11.begin(), v11.begin() + 90000)},
      {"a byte of the archive's head changed since the update began (not one the update wrote)",
       [&](test::MemoryFileSystem& fs) {
         Interrupt(fs, path, v10);
         fs.Files[path][100] ^= 1;
       },
       Outcome::Rejected,
       {}},
      {"an older journal, which names no archive",
       [&](test::MemoryFileSystem& fs) {
         Interrupt(fs, path, v10);
         std::copy_n("ZQJ1", 4, fs.Files[ArchiveJournal::PathFor(path)].begin());
       },
       Outcome::Rejected,
       {}},
  };
  for (const Case& c : cases) {
    test::MemoryFileSystem fs;
    c.make(fs);
    const Bytes before = fs.Files[path];
    const JournalFinding finding = ArchiveJournal::Examine(fs, path);
    EXPECT_EQ(finding.kind,
              c.outcome == Outcome::RolledBack ? JournalFinding::Kind::Pending : JournalFinding::Kind::Foreign)
        << c.what;
    EXPECT_EQ(fs.Files[path], before) << c.what << ": examining wrote";
    const JournalRecovery recovery = ArchiveJournal::Recover(fs, path);
    EXPECT_EQ(recovery.outcome, c.outcome) << c.what;
    EXPECT_EQ(fs.Files[path], c.archive.empty() ? before : c.archive) << c.what;
    EXPECT_FALSE(fs.Exists(ArchiveJournal::PathFor(path))) << c.what;
    if (c.outcome == Outcome::Rejected) {
      EXPECT_NE(recovery.note.find(finding.reason), std::string::npos) << recovery.note;
      EXPECT_NE(recovery.note.find("left as it is"), std::string::npos) << recovery.note;
    }
  }
}

}  // namespace
}  // namespace zq
