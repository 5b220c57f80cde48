#include "archives/vfs.h"

#include <gtest/gtest.h>

#include "archives/memory_file_system.h"
#include "base/byte_io.h"
#include "platform/md5.h"

namespace zq {
namespace {

using test::MemoryFileSystem;

Bytes Repeat(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>("abcabcabd"[i % 9]);
  return b;
}
Bytes Noise(std::size_t n) {
  Bytes b(n);
  std::uint32_t x = 12345;
  for (auto& c : b) c = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 24);
  return b;
}

class VfsTest : public ::testing::Test {
 protected:
  MemoryFileSystem fs;
  const std::string path = "world.vfs";
  std::unique_ptr<TVFSFile> vfs;

  void SetUp() override { fs.Files[path] = NewVfsArchive(512, 64, 4, "test world"); }
  void Open() {
    vfs = std::make_unique<TVFSFile>(fs);
    vfs->Open(path, true);
    vfs->BeginUpdate();
  }
  void Save() {
    vfs->SaveHeader(false);
    vfs->Close();
  }
  const TVFSEntry& At(const std::string& p) {
    std::int32_t n = vfs->Tree->FindPath(p);
    EXPECT_NE(n, -1) << p;
    return *vfs->Tree->Nodes.at(static_cast<std::size_t>(n)).Entry;
  }
  std::uint32_t UsedBlocks() const {
    std::uint32_t used = 0;
    for (const auto& a : vfs->Table) used += a.Next != 0;
    return used;
  }
};

TEST_F(VfsTest, StoringFilesEmptyIncompressibleAndChunked) {
  Open();
  vfs->Tree->AddFile("Data\\empty.txt", nullptr, 0);
  Bytes noise = Noise(1500);
  vfs->Tree->AddFile("Data\\noise.bin", noise.data(), 1500);
  Bytes big = Repeat(120000);
  vfs->Tree->AddFile("Data\\big.txt", big.data(), 120000);
  const TVFSEntry& empty = At("data\\EMPTY.txt");
  EXPECT_EQ(empty.Flags, kVfsFile);
  EXPECT_EQ(empty.StoredSize, 0u);
  EXPECT_NE(empty.FirstBlock, 0u);
  const TVFSEntry& n = At("Data\\noise.bin");
  EXPECT_EQ(n.Flags, kVfsFile);
  EXPECT_EQ(n.UnpackedSize, 0u);
  EXPECT_EQ(vfs->ReadFileData(n).Data, noise);
  const TVFSEntry& b = At("Data\\big.txt");
  EXPECT_EQ(b.Flags, kVfsFile | kVfsCompressed);
  EXPECT_EQ(b.UnpackedSize, 120000u);
  Bytes stored = vfs->ReadFileData(b).Data;
  // Three chunks: 50000, 50000 and 20000 bytes of input.
  std::size_t at = 0, chunks = 0;
  Bytes out;
  while (at < stored.size()) {
    std::uint32_t len = GetU32(&stored[at]);
    auto piece = Inflate(&stored[at + 4], len, 50000, 50000);
    out.insert(out.end(), piece.data.begin(), piece.data.end());
    at += 4 + len;
    ++chunks;
  }
  EXPECT_EQ(chunks, 3u);
  EXPECT_EQ(out, big);
  EXPECT_EQ(vfs->Header.BlocksInUse, UsedBlocks());
}

TEST_F(VfsTest, DirectoriesAreCreatedAndPathsWithoutDotGoToTheRoot) {
  Open();
  Bytes x = Repeat(10);
  vfs->Tree->AddFile("Data\\a.txt", x.data(), 10);
  vfs->Tree->AddFile("Data\\Maps\\x.txt", x.data(), 10);
  vfs->Tree->AddFile("Data\\Readme", x.data(), 10);
  EXPECT_EQ(At("Data\\Maps").Flags, kVfsDirectory);
  EXPECT_EQ(vfs->Tree->Nodes[static_cast<std::size_t>(vfs->Tree->FindPath("Data\\Maps"))].Parent,
            vfs->Tree->FindPath("Data"));
  EXPECT_EQ(vfs->Tree->FindPath("Data\\Readme"), -1);
  EXPECT_NE(vfs->Tree->FindPath("Readme"), -1);
  Save();
  // Read back from the disk alone.
  Open();
  EXPECT_EQ(At("Data").StoredSize, 2 * kVfsEntrySize);
  EXPECT_EQ(vfs->ReadFileData(At("DATA\\MAPS\\X.TXT")).Data.size(), 10u);
}

TEST_F(VfsTest, ParentRewrittenInPlaceOrMovedWithPropagation) {
  Open();
  Bytes x = Repeat(10);
  vfs->Tree->AddFile("A\\B\\one.txt", x.data(), 10);
  const std::uint32_t a_block = At("A").FirstBlock;
  const std::uint32_t b_block = At("A\\B").FirstBlock;
  vfs->Tree->AddFile("A\\B\\one.txt", x.data(), 5);  // same children: in place
  EXPECT_EQ(At("A\\B").FirstBlock, b_block);
  EXPECT_EQ(At("A").FirstBlock, a_block);
  vfs->Tree->AddFile("A\\B\\two.txt", x.data(), 10);  // B grows: moves, A is rewritten
  EXPECT_EQ(At("A\\B").StoredSize, 2 * kVfsEntrySize);
  // The grandparent's record of B follows the move.
  EXPECT_EQ(GetVfsEntry(vfs->ReadFileData(At("A")).Data.data()).StoredSize, 2 * kVfsEntrySize);
  EXPECT_EQ(vfs->Header.BlocksInUse, UsedBlocks());
  Save();
  Open();
  EXPECT_EQ(At("A\\B\\one.txt").StoredSize, 5u);
  EXPECT_NE(vfs->Tree->FindPath("A\\B\\two.txt"), -1);
}

TEST_F(VfsTest, HashFileOrderCollisionsAndDigest) {
  Open();
  Bytes x = Repeat(10);
  EXPECT_EQ(VfsPathHash("A\\B\\c.txt", "c.txt"), VfsPathHash("A\\B/c.txt", "A\\B/c.txt"));
  // Two root names that hash alike.
  const std::string first = "aac0pq", second = "aqan0a";
  ASSERT_EQ(VfsPathHash(first, first), VfsPathHash(second, second));
  vfs->Tree->AddFile("zz", x.data(), 10);
  vfs->Tree->AddFile(first, x.data(), 10);
  vfs->Tree->AddFile(second, x.data(), 10);
  Save();
  Bytes ht = fs.Files["world.ht"];
  ASSERT_EQ(GetU32(ht.data()), 2u);
  EXPECT_LT(GetU32(&ht[4]), GetU32(&ht[4 + kVfsHashRecord]));
  const std::size_t ba = GetU32(&ht[4]) == VfsPathHash(first, first) ? 4 : 4 + kVfsHashRecord;
  EXPECT_EQ(ht[ba + 20], 0);  // not unique; the second file is left out
  const Bytes& file = fs.Files[path];
  platform::Md5 md5;
  md5.Update(file.data() + 44, file.size() - 44);
  auto digest = md5.Finish();
  ASSERT_TRUE(digest);
  EXPECT_TRUE(std::equal(digest->begin(), digest->end(), file.begin() + 28));
}

TEST_F(VfsTest, WithoutFilesTheHashFileGoes) {
  fs.Files["world.ht"] = Bytes{1, 0, 0, 0};
  Open();
  Save();
  EXPECT_FALSE(fs.Exists("world.ht"));
}

TEST_F(VfsTest, NoFreeBlockFailsBeforeWriting) {
  Open();
  Bytes noise = Noise(512 * 70);
  const Bytes before = fs.Files[path];
  EXPECT_THROW(vfs->Tree->AddFile("huge.bin", noise.data(), static_cast<std::uint32_t>(noise.size())), ArchiveFailure);
  EXPECT_TRUE(vfs->Abandon());
  EXPECT_EQ(fs.Files[path], before);
  EXPECT_FALSE(fs.Exists(ArchiveJournal::PathFor(path)));
}

TEST_F(VfsTest, DamagedHeadersAreRefused) {
  Bytes good = fs.Files[path];
  SetU32(&fs.Files[path][44], 100);
  EXPECT_THROW(TVFSFile(fs).Open(path, true), ArchiveFailure);
  fs.Files[path] = Bytes(good.begin(), good.end() - 1);
  EXPECT_THROW(TVFSFile(fs).Open(path, true), ArchiveFailure);
  fs.Files[path] = good;
  SetU32(&fs.Files[path][8], 0x10000000);  // block count past the file
  EXPECT_THROW(TVFSFile(fs).Open(path, true), ArchiveFailure);
}

TEST_F(VfsTest, ADirectoryStoredInItsOwnAncestorsChainIsRefused) {
  Open();
  Bytes x = Repeat(10);
  vfs->Tree->AddFile("A\\B\\one.txt", x.data(), 10);
  const TVFSEntry a = At("A");
  const std::uint64_t a_content = vfs->DataStart + std::uint64_t{a.FirstBlock - 1} * vfs->Header.BlockSize;
  Save();
  // B's record in A's content names A's own chain: loading would find B inside B forever.
  SetU32(&fs.Files[path][a_content + 76], a.FirstBlock);
  SetU32(&fs.Files[path][a_content + 80], a.StoredSize);
  try {
    TVFSFile(fs).Open(path, true);
    ADD_FAILURE() << "opened";
  } catch (const ArchiveFailure& e) {
    EXPECT_NE(std::string(e.what()).find("directory A\\B contains itself"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace zq
