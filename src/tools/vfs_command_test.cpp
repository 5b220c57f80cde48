// zq vfs as an author runs it, on archives written by the engine's own update code.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "archives/journal.h"
#include "archives/memory_file_system.h"
#include "archives/vfs.h"
#include "base/byte_io.h"
#include "platform/files.h"
#include "support/temp_dir.h"
#include "tools/commands.h"
#include "tools/zq_test_support.h"

namespace zq::tool {
namespace {

Bytes Text(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>("forest river tower\r\n"[i % 20]);
  return b;
}

Bytes Noise(std::size_t n) {
  Bytes b(n);
  std::uint32_t x = 99;
  for (auto& c : b) c = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 24);
  return b;
}

std::string Str(const Bytes& b) { return {b.begin(), b.end()}; }

class VfsCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    archive_ = dir_ / "world.vfs";
    ASSERT_EQ(Zq({"vfs", "create", archive_, "--block-size", "512", "--blocks", "64", "--roots", "4"}).code, 0);
    TVFSFile vfs;
    vfs.Open(archive_, true);
    vfs.BeginUpdate();
    vfs.Tree->AddFile("Levels\\start.lvl", text_.data(), static_cast<std::uint32_t>(text_.size()));
    vfs.Tree->AddFile("Levels\\Deep\\noise.bin", noise_.data(), static_cast<std::uint32_t>(noise_.size()));
    vfs.Tree->AddFile("top.txt", text_.data(), 10);
    for (const auto& n : vfs.Tree->Nodes)
      if (n.Index != -1) entries_[n.Path] = *n.Entry;
    vfs.SaveHeader(false);
    vfs.Close();
  }
  std::uint64_t TableStart() const { return 52 + 256; }

  test::TempDir dir_;
  std::string archive_;
  Bytes text_ = Text(3000);
  Bytes noise_ = Noise(1500);
  std::map<std::string, TVFSEntry> entries_;
};

TEST_F(VfsCommandTest, ListJsonCarriesEveryFileAndDirectoryWithItsFields) {
  ZqRun r = Zq({"vfs", "list", archive_, "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(entries_.size(), 5u);  // Levels, Levels\Deep, and three files
  for (const auto& [path, e] : entries_) {
    std::string escaped;
    for (char c : path) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    std::ostringstream want;
    want << "{\"path\": \"" << escaped << "\", \"flags\": " << e.Flags << ", \"stored\": " << e.StoredSize
         << ", \"unpacked\": " << e.UnpackedSize << ", \"first_block\": " << e.FirstBlock << "}";
    EXPECT_NE(r.out.find(want.str()), std::string::npos) << want.str() << "\n" << r.out;
  }
  EXPECT_EQ(entries_.at("Levels\\start.lvl").Flags, kVfsFile | kVfsCompressed);
  EXPECT_EQ(entries_.at("Levels\\Deep\\noise.bin").Flags, kVfsFile);
  EXPECT_EQ(entries_.at("Levels\\Deep").Flags, kVfsDirectory);

  ZqRun text = Zq({"vfs", "list", archive_});
  ASSERT_EQ(text.code, 0);
  EXPECT_NE(text.out.find("dir  "), std::string::npos);
  EXPECT_NE(text.out.find("zlib "), std::string::npos);
  EXPECT_NE(text.out.find("\tLevels\\Deep\\noise.bin\n"), std::string::npos) << text.out;
}

TEST_F(VfsCommandTest, ExtractInflatesCompressedFiles) {
  const std::string out = dir_ / "out";
  ZqRun r = Zq({"vfs", "extract", archive_, "-o", out});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(test::ReadAll(out + "\\Levels\\start.lvl"), Str(text_));
  EXPECT_EQ(test::ReadAll(out + "\\Levels\\Deep\\noise.bin"), Str(noise_));
  EXPECT_EQ(test::ReadAll(out + "\\top.txt"), Str(text_).substr(0, 10));
}

TEST_F(VfsCommandTest, CheckPassesAnIntactArchiveAndFailsEachKindOfDamage) {
  ZqRun ok = Zq({"vfs", "check", archive_});
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_NE(ok.out.find("5 entries"), std::string::npos) << ok.out;
  EXPECT_NE(ok.out.find("0 problems"), std::string::npos) << ok.out;
  const std::string intact = test::ReadAll(archive_);
  const std::string ht = dir_ / "world.ht";
  const std::string intact_ht = test::ReadAll(ht);

  // One byte of a file's data: only the digest can tell.
  std::string changed = intact;
  const std::uint64_t data_start = TableStart() + 8 * 64 + 88 * 4;
  changed[data_start + 512 * (entries_.at("Levels\\Deep\\noise.bin").FirstBlock - 1) + 7] ^= 1;
  test::WriteAll(archive_, changed);
  ZqRun digest = Zq({"vfs", "check", archive_});
  EXPECT_EQ(digest.code, 1);
  EXPECT_NE(digest.err.find("MD5 digest"), std::string::npos) << digest.err;

  // A block of a file's chain marked free.
  changed = intact;
  const std::uint32_t block = entries_.at("Levels\\start.lvl").FirstBlock;
  for (int i = 0; i < 8; ++i) changed[TableStart() + 8 * (block - 1) + i] = 0;
  test::WriteAll(archive_, changed);
  ZqRun chain = Zq({"vfs", "check", archive_});
  EXPECT_EQ(chain.code, 1);
  EXPECT_NE(chain.err.find("Levels\\start.lvl: chain runs into a free or missing block"), std::string::npos)
      << chain.err;
  test::WriteAll(archive_, intact);

  // The hash file out of step with the archive.
  std::string stale = intact_ht;
  stale[4] ^= 1;
  test::WriteAll(ht, stale);
  ZqRun hash = Zq({"vfs", "check", archive_});
  EXPECT_EQ(hash.code, 1);
  EXPECT_NE(hash.err.find("world.ht does not match"), std::string::npos) << hash.err;
  ASSERT_TRUE(platform::DeleteFileAt(ht));
  EXPECT_EQ(Zq({"vfs", "check", archive_}).code, 1) << "an archive with files needs its hash file";
  test::WriteAll(ht, intact_ht);
  EXPECT_EQ(Zq({"vfs", "check", archive_}).code, 0);
}

// An update that crashed while it wrote the new hash file: the archive written, the hash file
// cut, the journal beside them, as they are left on the disk.
void InterruptUpdate(const std::string& path) {
  const std::string ht = TVFSFile::HashFilePath(path);
  auto update = [&](test::MemoryFileSystem& mem) {
    for (const std::string& name : {path, ht}) {
      const std::string bytes = test::ReadAll(name);
      mem.Files[name] = Bytes(bytes.begin(), bytes.end());
    }
    TVFSFile vfs(mem);
    vfs.Open(path, true);
    vfs.BeginUpdate();
    const Bytes more = Text(700);
    vfs.Tree->AddFile("Levels\\more.lvl", more.data(), static_cast<std::uint32_t>(more.size()));
    vfs.SaveHeader(false);
    vfs.Close();
  };
  test::MemoryFileSystem counted;
  update(counted);
  test::MemoryFileSystem mem;
  mem.FaultAt = counted.Changes - 1;  // the last change is the journal's removal; before it, the hash file's bytes
  try {
    update(mem);
  } catch (const test::SimulatedCrash&) {
  }
  for (const auto& [name, bytes] : mem.Files) test::WriteAll(name, Str(bytes));
}

TEST_F(VfsCommandTest, AJournalBesideTheArchiveIsReportedAndRecoverJudgesIt) {
  const std::string ht = dir_ / "world.ht";
  const std::string intact = test::ReadAll(archive_), intact_ht = test::ReadAll(ht);
  const std::string journal = ArchiveJournal::PathFor(archive_);
  ASSERT_EQ(Zq({"vfs", "create", dir_ / "fresh.vfs", "--block-size", "512", "--blocks", "64", "--roots", "4"}).code, 0);
  {
    TVFSFile vfs;
    vfs.Open(dir_ / "fresh.vfs", true);
    vfs.Tree->AddFile("fresh.txt", text_.data(), 100);
    vfs.SaveHeader(false);
    vfs.Close();
  }
  const std::string fresh = test::ReadAll(dir_ / "fresh.vfs"), fresh_ht = test::ReadAll(dir_ / "fresh.ht");
  struct Case {
    const char* what;
    std::function<void()> make;
    const char* reported;
    bool listed;
    int recover_code;
    const char* recovered;
    std::string after;
  };
  const Case cases[] = {
      {"an interrupted update", [&] { InterruptUpdate(archive_); }, "an interrupted update is pending", false, 0,
       "rolled", intact},
      {"the archive installed afresh over an interrupted update",
       [&] {
         InterruptUpdate(archive_);
         test::WriteAll(archive_, fresh);
         test::WriteAll(ht, fresh_ht);
       },
       "does not belong to it", true, 1, "without applying it", fresh},
      {"a journal of an older format", [&] { test::WriteAll(journal, "ZQJ1"); }, "does not record which archive", true,
       1, "without applying it", intact},
  };
  for (const Case& c : cases) {
    test::WriteAll(archive_, intact);
    test::WriteAll(ht, intact_ht);
    c.make();
    const std::string before = test::ReadAll(archive_);
    ZqRun check = Zq({"vfs", "check", archive_});
    EXPECT_EQ(check.code, 1) << c.what;
    EXPECT_NE(check.err.find(c.reported), std::string::npos) << c.what << ": " << check.err;
    EXPECT_NE(check.err.find("`zq vfs recover " + archive_ + "`"), std::string::npos) << c.what << ": " << check.err;
    ZqRun list = Zq({"vfs", "list", archive_});
    EXPECT_EQ(list.code, 1) << c.what;
    EXPECT_EQ(!list.out.empty(), c.listed) << c.what << ": " << list.out;
    EXPECT_EQ(test::ReadAll(archive_), before) << c.what << ": an inspector wrote";
    ASSERT_TRUE(platform::FileExists(journal)) << c.what;

    ZqRun recover = Zq({"vfs", "recover", archive_});
    EXPECT_EQ(recover.code, c.recover_code) << c.what << ": " << recover.err;
    EXPECT_NE((recover.out + recover.err).find(c.recovered), std::string::npos)
        << c.what << ": " << recover.out << recover.err;
    EXPECT_EQ(test::ReadAll(archive_), c.after) << c.what;
    if (c.after == intact) {
      EXPECT_EQ(test::ReadAll(ht), intact_ht) << c.what;
    }
    EXPECT_FALSE(platform::FileExists(journal)) << c.what;
    EXPECT_EQ(Zq({"vfs", "check", archive_}).code, 0) << c.what;
  }
}

TEST_F(VfsCommandTest, CreateWritesAnEmptyArchiveOfTheGivenShape) {
  const std::string fresh = dir_ / "fresh.vfs";
  ASSERT_EQ(Zq({"vfs", "create", fresh, "--block-size", "256", "--blocks", "10", "--roots", "3"}).code, 0);
  EXPECT_EQ(test::ReadAll(fresh).size(), 52u + 256 + 8 * 10 + 88 * 3 + 256 * 10);
  ZqRun list = Zq({"vfs", "list", fresh, "--json"});
  ASSERT_EQ(list.code, 0) << list.err;
  EXPECT_EQ(list.out, "[]\n");
  ZqRun check = Zq({"vfs", "check", fresh});
  EXPECT_EQ(check.code, 0) << check.err;
  EXPECT_NE(check.out.find("0 entries, 0 of 10 blocks in use, 0 problems"), std::string::npos) << check.out;

  const std::string defaults = dir_ / "defaults.vfs";
  ASSERT_EQ(Zq({"vfs", "create", defaults}).code, 0);
  EXPECT_EQ(test::ReadAll(defaults).size(), 52u + 256 + 8 * 256 + 88 * 64 + 4096 * 256);
}

TEST_F(VfsCommandTest, HelpAndUsageErrors) {
  ZqRun help = Zq({"vfs", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("usage: zq vfs", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("check ARCHIVE"), std::string::npos);
  EXPECT_NE(help.out.find("recover ARCHIVE"), std::string::npos);
  EXPECT_EQ(Zq({"vfs"}).code, 2);
  EXPECT_EQ(Zq({"vfs", "check"}).code, 2);
  EXPECT_EQ(Zq({"vfs", "list", archive_, "--bogus"}).code, 2);
  EXPECT_EQ(Zq({"vfs", "mount", archive_}).code, 2);
  const std::string bad = dir_ / "bad.vfs";
  for (const char* blocks : {"0", "x", "-1", "12abc", "99999999999"}) {
    ZqRun r = Zq({"vfs", "create", bad, "--blocks", blocks});
    EXPECT_EQ(r.code, 2) << blocks << ": " << r.err;
    EXPECT_FALSE(platform::FileExists(bad)) << blocks;
  }
  EXPECT_EQ(Zq({"vfs", "check", dir_ / "missing.vfs"}).code, 1);
}

}  // namespace
}  // namespace zq::tool
