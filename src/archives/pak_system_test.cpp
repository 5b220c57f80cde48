#include "archives/pak_system.h"

#include <gtest/gtest.h>

#include "archives/memory_file_system.h"
#include "base/byte_io.h"

namespace zq {
namespace {

using test::MemoryFileSystem;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A package holding `members` (masked zlib), then `trailer` bytes after the directory trailer.
Bytes MakePackage(const std::vector<std::pair<std::string, std::string>>& members, const Bytes& password_trailer) {
  Bytes file;
  std::vector<TPakDirEntry> records;
  for (const auto& [name, content] : members) {
    Bytes stored = MaskedZlib(Text(content));
    TPakDirEntry r;
    r.Name = name;
    r.Offset = static_cast<std::uint32_t>(file.size());
    r.StoredSize = static_cast<std::uint32_t>(stored.size());
    r.UnpackedSize = static_cast<std::uint32_t>(content.size());
    r.Date = 0x12340000;
    records.push_back(r);
    file.insert(file.end(), stored.begin(), stored.end());
  }
  Bytes tail = PakDirectoryBytes(records, {});
  tail.resize(tail.size() - 15);  // drop the version 3 trailer of an empty password
  file.insert(file.end(), tail.begin(), tail.end());
  file.insert(file.end(), password_trailer.begin(), password_trailer.end());
  return file;
}

Bytes V2Trailer(const std::string& field) {
  Bytes t = Text("ZQP2");
  Bytes f = Text(field);
  f.resize(9, 0);
  t.insert(t.end(), f.begin(), f.end());
  return t;
}

class PakSystemTest : public ::testing::Test {
 protected:
  MemoryFileSystem fs;
  TPakSystem pak{fs};
  const std::string path = "game.zqp";

  void Open() { ASSERT_EQ(pak.OpenArchive(path), TPakSystem::OpenResult::Ok); }
  void Rewrite() {
    pak.BeginUpdate();
    pak.WritePackageDirectory();
    pak.ReleaseDirectory();
  }
};

TEST_F(PakSystemTest, TrailersAreFoundOrNot) {
  fs.Files[path] = MakePackage({{"a.txt", "alpha"}}, {});
  Open();
  EXPECT_FALSE(pak.ExtraInfo.HasPassword);
  EXPECT_EQ(pak.Records().size(), 1u);
  // Written back, the package gains a version 3 trailer holding the password.
  pak.ExtraInfo.Password = "s3cret";
  pak.ExtraInfo.HasPassword = true;
  Rewrite();
  Open();
  EXPECT_EQ(pak.ExtraInfo.Password, "s3cret");
  EXPECT_FALSE(pak.ExtraInfo.Official);

  fs.Files[path] = MakePackage({{"a.txt", "alpha"}}, V2Trailer("abc9-xyz"));
  Open();
  EXPECT_EQ(pak.ExtraInfo.Password, "abc9");
  fs.Files[path] = MakePackage({{"a.txt", "alpha"}}, V2Trailer("#abc"));
  Open();
  EXPECT_FALSE(pak.ExtraInfo.HasPassword);
  EXPECT_EQ(pak.Records().size(), 1u);
}

TEST_F(PakSystemTest, OfficialFlagAndLongestFindablePassword) {
  fs.Files[path] = MakePackage({}, {});
  Open();
  pak.ExtraInfo.Password = std::string(kPakMaxPassword, 'p');
  pak.ExtraInfo.Official = true;
  Rewrite();
  Open();
  EXPECT_EQ(pak.ExtraInfo.Password, std::string(kPakMaxPassword, 'p'));
  EXPECT_TRUE(pak.ExtraInfo.Official);
  // One more character puts the trailer out of the reader's reach.
  pak.ExtraInfo.Password += "p";
  Rewrite();
  EXPECT_THROW(pak.OpenArchive(path), ArchiveFailure);
}

TEST_F(PakSystemTest, DamagedTailsAreRefused) {
  Bytes good = MakePackage({{"a.txt", "alpha"}}, {});
  for (std::size_t cut = 0; cut < 24; ++cut) {
    fs.Files[path] = Bytes(good.begin(), good.end() - static_cast<std::ptrdiff_t>(cut + 1));
    EXPECT_THROW(pak.OpenArchive(path), ArchiveFailure) << cut;
  }
  Bytes absurd = good;
  SetU32(absurd.data() + absurd.size() - 16, 0x7FFFFFFF);  // uncompressed size
  fs.Files[path] = absurd;
  EXPECT_THROW(pak.OpenArchive(path), ArchiveFailure);
}

TEST_F(PakSystemTest, UnchangedMembersAreSkippedAndReplacedNamesKeepTheirCase) {
  fs.Files[path] = MakePackage({{"Data\\Foo.txt", "old"}, {"b.txt", "bee"}}, {});
  Open();
  pak.BeginUpdate();
  EXPECT_FALSE(pak.AddMember("B.TXT", 3, Text("bee")));
  EXPECT_EQ(pak.Find("b.txt")->Date, 0x12340000u);
  EXPECT_TRUE(pak.AddMember("data\\foo.txt", 7, Text("new foo")));
  pak.WritePackageDirectory();
  Open();
  auto records = pak.Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Name, "b.txt");
  EXPECT_EQ(records[1].Name, "Data\\Foo.txt");
  EXPECT_EQ(records[1].UnpackedSize, 7u);
  const Bytes& file = fs.Files[path];
  Bytes stored(file.begin() + records[1].Offset, file.begin() + records[1].Offset + records[1].StoredSize);
  Bytes stream = UnmaskZlib(stored);
  EXPECT_EQ(stream[0], 0x78);  // the mask hid the zlib header
  auto inflated = Inflate(stream.data(), stream.size(), 7, 7);
  EXPECT_EQ(inflated.data, Text("new foo"));
}

TEST_F(PakSystemTest, DuplicateRules) {
  fs.Files[path] = MakePackage({{"a.txt", "alpha"}, {"c.txt", "other"}}, {});
  Open();
  pak.DuplicateMember("A.TXT", "Copy\\A2.TXT");
  pak.DuplicateMember("a.txt", "c.txt");        // refers to other data: unchanged
  pak.DuplicateMember("missing.txt", "x.txt");  // nothing
  const TPakDirEntry* copy = pak.Find("copy\\a2.txt");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Name, "copy\\a2.txt");
  EXPECT_EQ(copy->Offset, pak.Find("a.txt")->Offset);
  EXPECT_NE(pak.Find("c.txt")->Offset, copy->Offset);
  EXPECT_EQ(pak.Find("x.txt"), nullptr);
}

TEST_F(PakSystemTest, WaveMembersAndSkippedWaves) {
  fs.Files[path] = MakePackage({}, {});
  Open();
  pak.BeginUpdate();
  Bytes bad = Text("RIFF....WAVEfmt nonsense");
  EXPECT_FALSE(pak.AddMember("x.wav", static_cast<std::uint32_t>(bad.size()), bad));
  pak.WritePackageDirectory();
  Open();
  EXPECT_TRUE(pak.Records().empty());
}

}  // namespace
}  // namespace zq
