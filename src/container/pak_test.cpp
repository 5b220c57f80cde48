#include "container/pak.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "base/byte_io.h"
#include "container/package_digest.h"
#include "container/pak_string.h"
#include "engine/setup_context.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

using test::SampleEntry;

std::string AsString(const std::optional<Bytes>& b) { return b ? std::string(b->begin(), b->end()) : "<none>"; }

class RecordingBoxes : public MessageBoxes {
 public:
  int Show(const std::u16string& text, const std::u16string& caption, unsigned) override {
    shown.emplace_back(caption, text);
    return kIdOk;
  }
  std::vector<std::pair<std::u16string, std::u16string>> shown;
};

class PakTest : public ::testing::Test {
 protected:
  std::string Write(const std::vector<SampleEntry>& entries, std::size_t program = 1000) {
    std::string path = dir_ / "setup.exe";
    EXPECT_TRUE(test::WritePackage(path, test::FakeProgram(program), entries));
    return path;
  }
  // Rewrites bytes of a written package in place.
  void Patch(const std::string& path, std::uint64_t offset, const std::string& bytes) {
    std::string all = test::ReadAll(path);
    all.replace(offset, bytes.size(), bytes);
    test::WriteAll(path, all);
  }
  test::TempDir dir_;
};

TEST_F(PakTest, WrittenPackageReadsBackEntryForEntryWithoutGaps) {
  const std::string text(5000, 'a');
  const std::string noise = test::Incompressible(76, 7);
  auto path = Write({{"SetupInfo", 0, "record"},
                     {"docs\\a.txt", 1, text},
                     {"noise.bin", 1, noise},
                     {"empty.txt", 2, ""},
                     {"docs\\a.txt", 2, "other group"}},
                    1234);
  TPak pak(path, TPak::OpenFlags::Read);
  ASSERT_TRUE(pak.HasValidHeader());
  ASSERT_EQ(pak.Entries.size(), 5u);
  EXPECT_EQ(pak.Header.Version, 1);
  EXPECT_EQ(pak.Header.DataStart, 1234u);
  EXPECT_EQ(pak.Entries[0].Offset, 1234u);
  for (std::size_t i = 1; i < pak.Entries.size(); ++i) {
    EXPECT_EQ(pak.Entries[i].Offset, pak.Entries[i - 1].Offset + pak.Entries[i - 1].StoredSize()) << i;
  }
  EXPECT_EQ(pak.Entries.back().Offset + pak.Entries.back().StoredSize(), pak.Header.DirOffset);
  EXPECT_EQ(pak.TrailerSize, static_cast<std::int32_t>(pak.FileSize() - pak.Header.DirOffset));

  EXPECT_EQ(AsString(pak.Extract(1)), text);
  EXPECT_GT(pak.Entries[1].CompSize, 0u);
  EXPECT_LT(pak.Entries[1].CompSize, 100u);
  // Incompressible data is stored raw with the CRC over the raw bytes.
  EXPECT_EQ(pak.Entries[2].CompSize, 0u);
  EXPECT_EQ(pak.Entries[2].CRC, Crc32(reinterpret_cast<const std::uint8_t*>(noise.data()), noise.size()));
  EXPECT_EQ(AsString(pak.Extract(2)), noise);
  // An empty entry yields nothing and fails verification.
  EXPECT_FALSE(pak.Extract(3).has_value());
  EXPECT_FALSE(pak.VerifyEntry(3));
  for (std::size_t i : {0u, 1u, 2u, 4u}) EXPECT_TRUE(pak.VerifyEntry(i)) << i;
  EXPECT_FALSE(pak.VerifyEntry(5));
  EXPECT_FALSE(pak.Extract(99).has_value());
}

// Any zlib reader takes the blocks: a deflate stream with a 32 KiB window and a sound header.
TEST_F(PakTest, CompressedBlocksAreZlibStreams) {
  auto path = Write({{"a", 1, std::string(1000, 'x')}});
  TPak pak(path, TPak::OpenFlags::Read);
  auto stored = pak.ReadStored(0);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ((*stored)[0], 0x78);
  EXPECT_EQ(((*stored)[0] * 256 + (*stored)[1]) % 31, 0);
  EXPECT_EQ((*stored)[1] & 0x20, 0);  // no preset dictionary
}

// Data that cannot shrink is stored as it is, whether the samples tell it up front (large) or
// the whole try does (small); what shrinks is a zlib stream that inflates back to the data.
TEST(PackBlockTest, StoresWhatCannotShrinkRawAndCompressesTheRest) {
  std::uint32_t seed = 12345;
  auto random = [&seed](std::size_t n) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>((seed = seed * 1103515245 + 12345) >> 23);
    return b;
  };
  Bytes text;
  for (int i = 0; text.size() < (1u << 20); ++i) {
    const std::string line = "record " + std::to_string(i * 7919 % 1000) + " of the table\r\n";
    text.insert(text.end(), line.begin(), line.end());
  }
  struct Case {
    const char* what;
    Bytes data;
    bool compressed;
  };
  const Case cases[] = {{"1 MiB random", random(1 << 20), false},
                        {"100 KB random", random(100000), false},
                        {"1 MiB text", text, true},
                        {"empty", Bytes{}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PackedBlock packed = PackBlock(c.data.data(), static_cast<std::uint32_t>(c.data.size()));
    EXPECT_EQ(packed.OrigSize, c.data.size());
    EXPECT_EQ(packed.CRC, Crc32(packed.Block.data(), packed.Block.size()));
    if (!c.compressed) {
      EXPECT_EQ(packed.CompSize, 0u);
      EXPECT_EQ(packed.Block, c.data);
      continue;
    }
    ASSERT_GT(packed.CompSize, 0u);
    EXPECT_LT(packed.CompSize, c.data.size() / 4);
    const InflateResult back = Inflate(packed.Block.data(), packed.Block.size(), c.data.size(), c.data.size());
    EXPECT_EQ(back.status, InflateResult::Status::Complete);
    EXPECT_EQ(back.data, c.data);
  }
}

TEST_F(PakTest, NameLookupIgnoresCaseButNeedsTheGroup) {
  auto path = Write({{"SetupInfo", 0, "zero"}, {"Data.bin", 1, "one"}, {"data.BIN", 2, "two"}});
  TPak pak(path, TPak::OpenFlags::Read);
  std::uint32_t size = 0;
  EXPECT_EQ(AsString(pak.ExtractByName("setupinfo", 0, size)), "zero");
  EXPECT_EQ(size, 4u);
  EXPECT_FALSE(pak.ExtractByName("setupinfo", 1, size).has_value());
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(AsString(pak.ExtractByName("DATA.bin", 1, size)), "one");
  EXPECT_EQ(AsString(pak.ExtractByName("DATA.bin", 2, size)), "two");
}

TEST_F(PakTest, GroupEnumerationAndCounts) {
  auto path = Write({{"a", 1, "1"}, {"b", 0, "0"}, {"c", 1, "11"}, {"d", 3, "3"}});
  TPak pak(path, TPak::OpenFlags::Read);
  std::uint32_t size = 0;
  std::string name;
  EXPECT_EQ(AsString(pak.FindFirstInGroup(1, size, true, name)), "1");
  EXPECT_EQ(name, "a");
  EXPECT_FALSE(pak.FindNextInGroup(1, size, false, name).has_value());
  EXPECT_EQ(name, "c");
  EXPECT_EQ(size, 2u);
  pak.FindNextInGroup(1, size, true, name);
  EXPECT_EQ(name, "");
  EXPECT_EQ(size, 0u);
  std::vector<std::size_t> seen;
  pak.ForEachInGroup(1, [&](std::size_t i) { seen.push_back(i); });
  EXPECT_EQ(seen, (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(pak.CountGroupedEntries(), 3u);
  EXPECT_EQ(pak.CountInGroup(1), 2u);
  EXPECT_EQ(pak.CountInGroup(2), 0u);
}

TEST_F(PakTest, FileWithoutHeaderHasAnEmptyDirectory) {
  std::string path = dir_ / "plain.exe";
  test::WriteAll(path, test::FakeProgram(5000));
  TPak pak(path, TPak::OpenFlags::Read);
  EXPECT_FALSE(pak.HasValidHeader());
  EXPECT_FALSE(pak.EndsWithPackageHeader());
  EXPECT_TRUE(pak.Entries.empty());
  EXPECT_TRUE(pak.DirectoryProblem().empty());
  std::uint32_t size = 7;
  EXPECT_FALSE(pak.ExtractByName("SetupInfo", 0, size).has_value());
  EXPECT_EQ(size, 0u);

  test::WriteAll(path, "ZQP");  // shorter than a header
  TPak tiny(path, TPak::OpenFlags::Read);
  EXPECT_FALSE(tiny.HasValidHeader());
  TPak missing(dir_ / "missing.exe", TPak::OpenFlags::Read);
  EXPECT_FALSE(missing.HasValidHeader());
}

TEST_F(PakTest, DamagedDirectoriesAreRefusedWithAReason) {
  auto path = Write({{"a", 1, "alpha"}, {"b", 1, "beta"}});
  const std::string good = test::ReadAll(path);
  const std::uint64_t header = good.size() - 16;
  auto u32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };

  Patch(path, header + 12, u32(static_cast<std::uint32_t>(good.size() + 100)));  // directory past the end
  EXPECT_FALSE(TPak(path, TPak::OpenFlags::Read).HasValidHeader());
  EXPECT_NE(TPak(path, TPak::OpenFlags::Read).DirectoryProblem().find("past the end"), std::string::npos);

  test::WriteAll(path, good);
  Patch(path, header + 6, std::string("\xFF\xFF", 2));  // absurd count
  EXPECT_FALSE(TPak(path, TPak::OpenFlags::Read).HasValidHeader());

  test::WriteAll(path, good);
  // The first name's length runs the record past the directory's end.
  const std::uint32_t dir_offset = GetU32(reinterpret_cast<const std::uint8_t*>(good.data()) + header + 12);
  Patch(path, dir_offset, std::string("\xF0\x00", 2));
  TPak damaged(path, TPak::OpenFlags::Read);
  EXPECT_FALSE(damaged.HasValidHeader());
  EXPECT_TRUE(damaged.EndsWithPackageHeader());  // still a program that carries a package
  EXPECT_TRUE(damaged.Entries.empty());

  test::WriteAll(path, good);
  Patch(path, header + 12, u32(0));  // a directory as large as the file
  EXPECT_FALSE(TPak(path, TPak::OpenFlags::Read).HasValidHeader());
}

TEST_F(PakTest, DamagedBlocksFailVerificationAndExtraction) {
  auto path = Write({{"a", 1, std::string(3000, 'q')}, {"b", 1, "plain data"}});
  TPak probe(path, TPak::OpenFlags::Read);
  const std::uint32_t first = probe.Entries[0].Offset;
  const std::uint32_t second = probe.Entries[1].Offset;
  probe.Close();
  Patch(path, first + 5, "\x55");
  Patch(path, second, "P");
  TPak pak(path, TPak::OpenFlags::Read);
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_FALSE(pak.Extract(0).has_value());
  EXPECT_FALSE(pak.VerifyEntry(1));
  EXPECT_FALSE(pak.ReadStored(1).has_value());
}

TEST_F(PakTest, WrongOriginalSizeShowsTheSizeMessage) {
  auto path = Write({{"data.bin", 1, std::string(3000, 'q')}});
  TPak probe(path, TPak::OpenFlags::Read);
  const std::uint32_t dir = probe.Header.DirOffset;
  probe.Close();
  // OrigSize of the first record: 2 + name(8) + CRC, Offset, CompSize.
  Patch(path, dir + 2 + 8 + 12, std::string("\xD0\x07\x00\x00", 4));  // 2000
  TPak pak(path, TPak::OpenFlags::Read);
  RecordingBoxes boxes;
  pak.Messages = &boxes;
  EXPECT_FALSE(pak.VerifyEntry(0));
  EXPECT_TRUE(boxes.shown.empty());  // verification is silent
  EXPECT_FALSE(pak.Extract(0).has_value());
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].first, u"Error");
  EXPECT_EQ(boxes.shown[0].second, u"data.bin\r\rError: DecompSize - 3000 OrigSize - 2000");
}

TEST_F(PakTest, BlockSizeBeyondTheFileIsRefusedWithoutReading) {
  auto path = Write({{"data.bin", 1, std::string(300, 'q')}});
  TPak probe(path, TPak::OpenFlags::Read);
  const std::uint32_t dir = probe.Header.DirOffset;
  probe.Close();
  Patch(path, dir + 2 + 8 + 8, std::string("\x00\x00\x00\x7F", 4));  // CompSize near 2 GiB
  TPak pak(path, TPak::OpenFlags::Read);
  EXPECT_FALSE(pak.ReadStored(0).has_value());
  EXPECT_FALSE(pak.VerifyEntry(0));
}

TEST_F(PakTest, StoreFileReadsTheSourceAndAppendKeepsTheProgramPart) {
  std::string src = dir_ / "source.txt";
  test::WriteAll(src, std::string(4000, 'z'));
  std::string path = dir_ / "uninst.exe";
  test::WriteAll(path, test::FakeProgram(777));
  {
    TPak writer(path, TPak::OpenFlags::Append);
    EXPECT_EQ(writer.Header.DataStart, 777u);
    writer.StoreFile(writer.AddEntry("source.txt", src, 0));
    std::size_t missing = writer.AddEntry("gone", dir_ / "no-such-file", 0);
    EXPECT_FALSE(writer.StoreFile(missing));
    writer.Entries.pop_back();
    ASSERT_TRUE(writer.WriteDirectory());
  }
  EXPECT_EQ(test::ReadAll(path).substr(0, 777), test::FakeProgram(777));
  TPak pak(path, TPak::OpenFlags::Read);
  ASSERT_TRUE(pak.HasValidHeader());
  EXPECT_EQ(pak.Entries[0].Offset, 777u);
  EXPECT_EQ(AsString(pak.Extract(0)), std::string(4000, 'z'));
}

TEST_F(PakTest, StoreLargeFileCopiesTheSourceRawWithItsCrc) {
  const std::string content = test::Incompressible(3 * 1024 + 5, 9);
  test::WriteAll(dir_ / "big.bin", content);
  std::string path = dir_ / "setup.exe";
  test::WriteAll(path, test::FakeProgram(500));
  {
    TPak writer(path, TPak::OpenFlags::Append);
    writer.StoreBuffer(writer.AddEntry("small", "", 0), reinterpret_cast<const std::uint8_t*>("abc"), 3);
    ASSERT_TRUE(writer.StoreLargeFile(writer.AddEntry("big.bin", dir_ / "big.bin", 1)));
    std::string problem;
    EXPECT_FALSE(writer.StoreLargeFile(writer.AddEntry("gone", dir_ / "no-such-file", 1), &problem));
    EXPECT_EQ(problem, "cannot read " + (dir_ / "no-such-file"));
    writer.Entries.pop_back();
    ASSERT_TRUE(writer.WriteDirectory());
  }
  TPak pak(path, TPak::OpenFlags::Read);
  ASSERT_TRUE(pak.HasValidHeader());
  const TPakEntry& big = pak.Entries.at(1);
  EXPECT_EQ(big.Offset, pak.Entries[0].Offset + pak.Entries[0].StoredSize());
  EXPECT_EQ(big.CompSize, 0u);
  EXPECT_EQ(big.CRC, Crc32(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
  EXPECT_EQ(big.OrigSize, content.size());
  EXPECT_EQ(test::ReadAll(path).substr(big.Offset, content.size()), content);
}

// Large entries: an old package's (CRC 0, no digest) pass unread as they always did; a built
// one's are read and their CRC checked, so a damaged byte is found; and a compressed entry whose
// size claims the large-entry limit is damaged, never passed unread.
TEST_F(PakTest, LargeEntriesAreCheckedWhenTheyCarryACrc) {
  const std::string source = dir_ / "big.src";
  {
    platform::File f;
    ASSERT_TRUE(f.Open(source, platform::OpenMode::Create));
    const std::string mib = test::Incompressible(1 << 20, 5);
    for (std::uint32_t n = 0; n < (LargeEntryLimit >> 20); ++n) ASSERT_EQ(f.Write(mib.data(), mib.size()), mib.size());
  }
  const std::string path = dir_ / "setup.exe";
  const auto write = [&](bool built) {
    test::WriteAll(path, test::FakeProgram(100));
    TPak writer(path, TPak::OpenFlags::Append);
    writer.StoreBuffer(writer.AddEntry("small", "", 0), reinterpret_cast<const std::uint8_t*>("small text"), 10);
    const std::size_t big = writer.AddEntry("big.bin", source, 1);
    ASSERT_TRUE(built ? writer.StoreLargeFile(big) : writer.StoreFile(big));
    ASSERT_TRUE(writer.WriteDirectory(built));
  };
  const struct {
    const char* name;
    bool built;
    std::function<void(std::string&, const TPak&)> damage;
    bool passes, unread;
  } cases[] = {
      {"old package", false, [](std::string&, const TPak&) {}, true, true},
      {"old package, a damaged byte", false, [](std::string& f, const TPak& p) { f[p.Entries[1].Offset + 9] ^= 1; },
       true, true},
      {"built package", true, [](std::string&, const TPak&) {}, true, false},
      {"built package, a damaged byte", true,
       [](std::string& f, const TPak& p) { f[p.Entries[1].Offset + LargeEntryLimit - 3] ^= 1; }, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    write(c.built);
    std::string file = test::ReadAll(path);
    {
      TPak probe(path, TPak::OpenFlags::Read);
      c.damage(file, probe);
    }
    test::WriteAll(path, file);
    TPak pak(path, TPak::OpenFlags::Read);
    ASSERT_TRUE(pak.HasValidHeader()) << pak.DirectoryProblem();
    EXPECT_EQ(pak.HasDigest(), c.built);
    EXPECT_EQ(pak.PassesUnchecked(1), c.unread);
    EXPECT_EQ(pak.VerifyEntry(1), c.passes);
  }
  // A compressed entry of an old package claiming the limit as its size.
  auto small = Write({{"a.txt", 1, std::string(3000, 'a')}});
  TPak probe(small, TPak::OpenFlags::Read);
  const std::uint64_t orig_size_field = probe.Header.DirOffset + 2 + 5 + 12;
  probe.Close();
  std::string limit(4, '\0');
  SetU32(reinterpret_cast<std::uint8_t*>(limit.data()), LargeEntryLimit);
  Patch(small, orig_size_field, limit);
  TPak flipped(small, TPak::OpenFlags::Read);
  ASSERT_TRUE(flipped.HasValidHeader());
  EXPECT_FALSE(flipped.PassesUnchecked(0));
  EXPECT_FALSE(flipped.VerifyEntry(0));
}

// The rules every writer keeps, checked when the directory is read: each broken one makes the
// whole directory damaged, and a package with a digest refuses any change of its directory or
// header, even one that keeps every rule (a name, a group).
TEST_F(PakTest, DirectoryThatBreaksTheWritersRulesIsDamaged) {
  const std::vector<SampleEntry> entries = {{"SetupInfo", 0, "record"}, {"a.txt", 1, std::string(3000, 'a')}};
  const struct {
    const char* name;
    bool digest;
    std::function<void(std::string&, const TPak&)> damage;
    const char* problem;  // "": still read
  } cases[] = {
      {"sound", false, [](std::string&, const TPak&) {}, ""},
      {"sound, with digest", true, [](std::string&, const TPak&) {}, ""},
      {"data start moved", false, [](std::string& f, const TPak&) { f[f.size() - 8] ^= 1; }, "lies at"},
      {"a gap between blocks", false,
       [](std::string& f, const TPak& p) { f[p.Header.DirOffset + 2 + 9 + 18 + 2 + 5 + 4] ^= 1; }, "lies at"},
      {"a count that leaves bytes over", false, [](std::string& f, const TPak&) { f[f.size() - 10] ^= 2; },
       "bytes follow the last directory record"},
      {"a name changed, no digest", false,
       [](std::string& f, const TPak& p) { f[p.Header.DirOffset + 2 + 9 + 18 + 2] ^= 1; }, ""},
      {"a name changed", true, [](std::string& f, const TPak& p) { f[p.Header.DirOffset + 2 + 9 + 18 + 2] ^= 1; },
       "does not match the package digest"},
      {"a group changed", true,
       [](std::string& f, const TPak& p) { f[p.Header.DirOffset + 2 + 9 + 18 + 2 + 5 + 16] ^= 1; },
       "does not match the package digest"},
      {"the version changed", true, [](std::string& f, const TPak&) { f[f.size() - 12] ^= 1; },
       "does not match the package digest"},
      {"the digest's name changed", true, [](std::string& f, const TPak&) { f[f.size() - 16 - 20] ^= 1; },
       "the package digest or its record is damaged"},
      {"the digest's magic changed", true,
       [](std::string& f, const TPak& p) { f[p.Header.DirOffset - kPackageDigestBlockSize] ^= 1; },
       "the package digest or its record is damaged"},
      {"the digest changed", true, [](std::string& f, const TPak& p) { f[p.Header.DirOffset - 1] ^= 1; },
       "does not match its record's CRC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_ / "setup.exe";
    test::WriteAll(path, test::FakeProgram(300));
    {
      TPak writer(path, TPak::OpenFlags::Append);
      for (const auto& e : entries) {
        writer.StoreBuffer(writer.AddEntry(e.name, "", e.group), reinterpret_cast<const std::uint8_t*>(e.data.data()),
                           static_cast<std::uint32_t>(e.data.size()));
      }
      ASSERT_TRUE(writer.WriteDirectory(c.digest));
    }
    std::string file = test::ReadAll(path);
    {
      TPak probe(path, TPak::OpenFlags::Read);
      ASSERT_TRUE(probe.HasValidHeader()) << probe.DirectoryProblem();
      c.damage(file, probe);
    }
    test::WriteAll(path, file);
    TPak pak(path, TPak::OpenFlags::Read);
    EXPECT_EQ(pak.HasValidHeader(), *c.problem == '\0');
    EXPECT_NE(pak.DirectoryProblem().find(c.problem), std::string::npos) << pak.DirectoryProblem();
    if (*c.problem == '\0') {
      EXPECT_EQ(pak.Entries.size(), entries.size() + c.digest);
    }
  }
}

// A signing tool pads the file to 8 bytes and appends its certificate table; every padding
// from 0 to 7 bytes leaves the package read exactly as before signing.
TEST_F(PakTest, SignedSetupReadsThePackageBeforeItsSignature) {
  const std::vector<SampleEntry> entries = {{"SetupInfo", 0, "record"}, {"a.txt", 1, std::string(3000, 'a')}};
  std::set<std::uint64_t> paddings;
  for (std::size_t program = 1000; program < 1008; ++program) {
    SCOPED_TRACE(program);
    const std::string path = dir_ / "signed.exe";
    ASSERT_TRUE(test::WritePackage(path, test::PeProgram(program), entries));
    TPak unsigned_pak(path, TPak::OpenFlags::Read);
    ASSERT_TRUE(unsigned_pak.HasValidHeader());
    EXPECT_EQ(unsigned_pak.PackageEnd(), unsigned_pak.FileSize());
    unsigned_pak.Close();
    test::AppendSignature(path, 1024 + 8 * (program % 3));

    TPak pak(path, TPak::OpenFlags::Read);
    ASSERT_TRUE(pak.HasValidHeader()) << pak.DirectoryProblem();
    EXPECT_EQ(pak.PackageEnd(), unsigned_pak.FileSize());
    EXPECT_GT(pak.FileSize(), pak.PackageEnd() + 1024);
    paddings.insert((pak.FileSize() - pak.PackageEnd()) % 8);
    EXPECT_EQ(pak.Header.DataStart, program);
    EXPECT_EQ(pak.Header.DirOffset, unsigned_pak.Header.DirOffset);
    EXPECT_EQ(pak.TrailerSize, unsigned_pak.TrailerSize);
    ASSERT_EQ(pak.Entries.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(pak.Entries[i].Offset, unsigned_pak.Entries[i].Offset);
      EXPECT_EQ(AsString(pak.Extract(i)), entries[i].data);
    }
  }
  EXPECT_EQ(paddings.size(), 8u);
}

TEST_F(PakTest, ASignatureThatIsNotBehindThePackageChangesNothing) {
  const std::string signed_stub = dir_ / "stub.exe";
  test::WriteAll(signed_stub, test::PeProgram(1000));
  test::AppendSignature(signed_stub);
  const std::string path = dir_ / "setup.exe";
  const struct {
    const char* name;
    std::function<void()> make;
    bool package;
  } cases[] = {
      // The stub was signed before the build: its table lies before the package.
      {"signed stub",
       [&] {
         ASSERT_TRUE(test::WritePackage(path, test::ReadAll(signed_stub), {{"a", 1, "x"}}));
       },
       true},
      {"signed program without a package", [&] { test::WriteAll(path, test::ReadAll(signed_stub)); }, false},
      // More than the padding between the package header and the table.
      {"bytes between package and signature",
       [&] {
         ASSERT_TRUE(test::WritePackage(path, test::PeProgram(1000), {{"a", 1, "x"}}));
         test::WriteAll(path, test::ReadAll(path) + std::string(8, '\0'));
         test::AppendSignature(path);
       },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.make();
    TPak pak(path, TPak::OpenFlags::Read);
    EXPECT_EQ(pak.PackageEnd(), pak.FileSize());
    EXPECT_EQ(pak.HasValidHeader(), c.package);
    EXPECT_TRUE(pak.DirectoryProblem().empty());
    EXPECT_EQ(AsString(pak.Extract(0)), c.package ? "x" : "<none>");
  }
}

TEST_F(PakTest, CreatedContainerStartsAtZero) {
  std::string path = dir_ / "bare.pak";
  {
    TPak writer(path, TPak::OpenFlags::Create);
    writer.StoreBuffer(writer.AddEntry("x", "", 0), reinterpret_cast<const std::uint8_t*>("abc"), 3);
    ASSERT_TRUE(writer.WriteDirectory());
  }
  TPak pak(path, TPak::OpenFlags::Read);
  EXPECT_EQ(pak.Header.DataStart, 0u);
  EXPECT_EQ(pak.Entries[0].Offset, 0u);
  EXPECT_EQ(AsString(pak.Extract(0)), "abc");
}

}  // namespace
}  // namespace zq
