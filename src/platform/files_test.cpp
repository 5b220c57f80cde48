#include "platform/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/temp_dir.h"

namespace zq::platform {
namespace {

using test::ReadAll;
using test::WriteAll;

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

TEST(Files, WriteThenReadGivesTheSameBytes) {
  test::TempDir dir;
  const std::string path = dir / "data.bin";
  std::string bytes = AllBytes() + std::string(100000, 'x') + AllBytes();
  WriteAll(path, bytes);
  EXPECT_EQ(ReadAll(path), bytes);
  EXPECT_EQ(FileSize(path), bytes.size());
}

TEST(Files, ReadIsShortOnlyAtTheEnd) {
  test::TempDir dir;
  const std::string path = dir / "ten.bin";
  WriteAll(path, "0123456789");
  File f;
  ASSERT_TRUE(f.Open(path, OpenMode::ReadShared));
  char buf[100] = {};
  EXPECT_EQ(f.Read(buf, 4), 4u);
  EXPECT_EQ(std::string(buf, 4), "0123");
  EXPECT_EQ(f.Read(buf, sizeof buf), 6u);
  EXPECT_EQ(std::string(buf, 6), "456789");
  EXPECT_EQ(f.Read(buf, sizeof buf), 0u);
  EXPECT_EQ(f.Position(), 10u);
}

TEST(Files, SeekTruncateAndGrow) {
  test::TempDir dir;
  const std::string path = dir / "seek.bin";
  File f;
  ASSERT_TRUE(f.Open(path, OpenMode::Create));
  const std::string bytes = AllBytes();
  ASSERT_EQ(f.Write(bytes.data(), 100), 100u);
  ASSERT_TRUE(f.Seek(40));
  ASSERT_TRUE(f.Truncate());
  EXPECT_EQ(f.Size(), 40u);
  ASSERT_TRUE(f.Seek(10));
  char buf[5];
  ASSERT_EQ(f.Read(buf, 5), 5u);
  EXPECT_EQ(std::string(buf, 5), bytes.substr(10, 5));
  ASSERT_TRUE(f.SeekToEnd());
  EXPECT_EQ(f.Position(), 40u);
  // Writing past the end fills the gap with zeros.
  ASSERT_TRUE(f.Seek(50));
  ASSERT_EQ(f.Write("z", 1), 1u);
  EXPECT_EQ(f.Size(), 51u);
  EXPECT_TRUE(f.Flush());
  f.Close();
  EXPECT_EQ(ReadAll(path), bytes.substr(0, 40) + std::string(10, '\0') + "z");
}

TEST(Files, CreateTruncatesAnExistingFile) {
  test::TempDir dir;
  const std::string path = dir / "a.txt";
  WriteAll(path, "old contents");
  File f;
  ASSERT_TRUE(f.Open(path, OpenMode::Create));
  EXPECT_EQ(f.Size(), 0u);
}

TEST(Files, ReadWriteNeedsAnExistingFileAndKeepsIt) {
  test::TempDir dir;
  const std::string path = dir / "a.txt";
  File f;
  EXPECT_FALSE(f.Open(path, OpenMode::ReadWrite));
  EXPECT_FALSE(f.IsOpen());
  EXPECT_FALSE(FileExists(path));
  WriteAll(path, "abcdef");
  ASSERT_TRUE(f.Open(path, OpenMode::ReadWrite));
  ASSERT_EQ(f.Write("XY", 2), 2u);
  f.Close();
  EXPECT_EQ(ReadAll(path), "XYcdef");
}

TEST(Files, OpenOrCreateCreatesEmptyOrKeepsContents) {
  test::TempDir dir;
  const std::string path = dir / "a.txt";
  File f;
  ASSERT_TRUE(f.Open(path, OpenMode::OpenOrCreate));
  EXPECT_EQ(f.Size(), 0u);
  ASSERT_EQ(f.Write("hello", 5), 5u);
  f.Close();
  ASSERT_TRUE(f.Open(path, OpenMode::OpenOrCreate));
  EXPECT_EQ(f.Size(), 5u);
}

TEST(Files, ReadModesNeitherCreateNorWrite) {
  test::TempDir dir;
  const std::string path = dir / "a.txt";
  File f;
  EXPECT_FALSE(f.Open(path, OpenMode::ReadShared));
  EXPECT_FALSE(f.Open(path, OpenMode::ReadExclusive));
  EXPECT_FALSE(FileExists(path));
  WriteAll(path, "abc");
  ASSERT_TRUE(f.Open(path, OpenMode::ReadExclusive));
  EXPECT_EQ(f.Write("x", 1), 0u);
  f.Close();
  EXPECT_EQ(ReadAll(path), "abc");
}

TEST(Files, ADirectoryIsNoFileToOpen) {
  test::TempDir dir;
  File f;
  EXPECT_FALSE(f.Open(dir.path(), OpenMode::ReadShared));
  EXPECT_FALSE(f.Open(dir.path(), OpenMode::OpenOrCreate));
}

TEST(Files, MovedFileKeepsItsHandle) {
  test::TempDir dir;
  const std::string path = dir / "a.txt";
  WriteAll(path, "abc");
  File a;
  ASSERT_TRUE(a.Open(path, OpenMode::ReadShared));
  File b(std::move(a));
  EXPECT_FALSE(a.IsOpen());
  char buf[3];
  EXPECT_EQ(b.Read(buf, 3), 3u);
  File c;
  c = std::move(b);
  EXPECT_FALSE(b.IsOpen());
  EXPECT_TRUE(c.IsOpen());
  EXPECT_EQ(c.Position(), 3u);
}

TEST(Files, RenameRefusesAnExistingTarget) {
  test::TempDir dir;
  WriteAll(dir / "a.txt", "A");
  WriteAll(dir / "b.txt", "B");
  EXPECT_FALSE(RenameFile(dir / "a.txt", dir / "b.txt"));
  EXPECT_EQ(ReadAll(dir / "a.txt"), "A");
  EXPECT_EQ(ReadAll(dir / "b.txt"), "B");
  ASSERT_TRUE(RenameFile(dir / "a.txt", dir / "c.txt"));
  EXPECT_FALSE(FileExists(dir / "a.txt"));
  EXPECT_EQ(ReadAll(dir / "c.txt"), "A");
  EXPECT_FALSE(RenameFile(dir / "missing.txt", dir / "d.txt"));
}

TEST(Files, RenameMovesADirectory) {
  test::TempDir dir;
  ASSERT_TRUE(CreateDir(dir / "sub"));
  WriteAll(dir / "sub\\f.txt", "F");
  ASSERT_TRUE(RenameFile(dir / "sub", dir / "moved"));
  EXPECT_FALSE(DirectoryExists(dir / "sub"));
  EXPECT_EQ(ReadAll(dir / "moved\\f.txt"), "F");
}

TEST(Files, RenameCanChangeOnlyTheCase) {
  test::TempDir dir;
  WriteAll(dir / "name.txt", "N");
  ASSERT_TRUE(RenameFile(dir / "name.txt", dir / "NAME.txt"));
  auto entries = ListDir(dir.path());
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].name, "NAME.txt");
}

TEST(Files, CopyHonoursFailIfExists) {
  test::TempDir dir;
  WriteAll(dir / "src.txt", "new");
  WriteAll(dir / "dst.txt", "old");
  EXPECT_FALSE(CopyFileTo(dir / "src.txt", dir / "dst.txt", true));
  EXPECT_EQ(ReadAll(dir / "dst.txt"), "old");
  ASSERT_TRUE(CopyFileTo(dir / "src.txt", dir / "dst.txt", false));
  EXPECT_EQ(ReadAll(dir / "dst.txt"), "new");
  ASSERT_TRUE(CopyFileTo(dir / "src.txt", dir / "fresh.txt", true));
  EXPECT_EQ(ReadAll(dir / "fresh.txt"), "new");
  EXPECT_EQ(ReadAll(dir / "src.txt"), "new");
  EXPECT_FALSE(CopyFileTo(dir / "missing.txt", dir / "other.txt", false));
  EXPECT_FALSE(FileExists(dir / "other.txt"));
}

TEST(Files, CopyOfALargeFileIsComplete) {
  test::TempDir dir;
  std::string bytes;
  for (int i = 0; i < 3 * 1024 * 1024 + 17; ++i) bytes += static_cast<char>(i * 7 + i / 251);
  WriteAll(dir / "big.bin", bytes);
  ASSERT_TRUE(CopyFileTo(dir / "big.bin", dir / "copy.bin", true));
  EXPECT_EQ(ReadAll(dir / "copy.bin"), bytes);
}

TEST(Files, ListDirGivesNamesAndKinds) {
  test::TempDir dir;
  WriteAll(dir / "one.txt", "1");
  WriteAll(dir / "Two.dat", "2");
  ASSERT_TRUE(CreateDir(dir / "Sub"));
  auto entries = ListDir(dir.path());
  ASSERT_TRUE(entries);
  std::sort(entries->begin(), entries->end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries->size(), 3u);
  EXPECT_EQ((*entries)[0].name, "Sub");
  EXPECT_TRUE((*entries)[0].is_directory);
  EXPECT_EQ((*entries)[1].name, "Two.dat");
  EXPECT_FALSE((*entries)[1].is_directory);
  EXPECT_EQ((*entries)[2].name, "one.txt");
  EXPECT_FALSE((*entries)[2].is_directory);

  auto empty = ListDir(dir / "Sub");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
  EXPECT_FALSE(ListDir(dir / "missing"));
  EXPECT_FALSE(ListDir(dir / "one.txt"));
}

TEST(Files, FilesAndDirectoriesAreTold) {
  test::TempDir dir;
  WriteAll(dir / "f.txt", "x");
  ASSERT_TRUE(CreateDir(dir / "d"));
  EXPECT_TRUE(FileExists(dir / "f.txt"));
  EXPECT_FALSE(DirectoryExists(dir / "f.txt"));
  EXPECT_TRUE(DirectoryExists(dir / "d"));
  EXPECT_FALSE(FileExists(dir / "d"));
  EXPECT_FALSE(FileExists(dir / "none"));
  EXPECT_FALSE(DirectoryExists(dir / "none"));
  EXPECT_FALSE(FileSize(dir / "d"));
  EXPECT_FALSE(FileSize(dir / "none"));
}

TEST(Files, CreateDirIsOneLevelAndRemoveDirOnlyEmpty) {
  test::TempDir dir;
  EXPECT_FALSE(CreateDir(dir / "a\\b"));
  ASSERT_TRUE(CreateDir(dir / "a"));
  EXPECT_FALSE(CreateDir(dir / "a"));
  WriteAll(dir / "a\\f", "x");
  EXPECT_FALSE(RemoveDir(dir / "a"));
  ASSERT_TRUE(DeleteFileAt(dir / "a\\f"));
  EXPECT_TRUE(RemoveDir(dir / "a"));
  EXPECT_FALSE(DirectoryExists(dir / "a"));
}

TEST(Files, ReadOnlyBlocksWritingButNotDeleting) {
  test::TempDir dir;
  const std::string path = dir / "ro.txt";
  WriteAll(path, "keep");
  ASSERT_TRUE(SetReadOnly(path, true));
  File f;
  EXPECT_FALSE(f.Open(path, OpenMode::ReadWrite));
  EXPECT_FALSE(f.Open(path, OpenMode::Create));
  EXPECT_FALSE(f.Open(path, OpenMode::OpenOrCreate));
  EXPECT_TRUE(f.Open(path, OpenMode::ReadShared));
  f.Close();
  WriteAll(dir / "other.txt", "other");
  EXPECT_FALSE(CopyFileTo(dir / "other.txt", path, false));
  EXPECT_EQ(ReadAll(path), "keep");
  ASSERT_TRUE(SetReadOnly(path, false));
  EXPECT_TRUE(f.Open(path, OpenMode::ReadWrite));
  f.Close();
  ASSERT_TRUE(SetReadOnly(path, true));
  EXPECT_TRUE(DeleteFileAt(path));
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(DeleteFileAt(path));
}

TEST(Files, DeleteFileAtLeavesDirectories) {
  test::TempDir dir;
  ASSERT_TRUE(CreateDir(dir / "d"));
  EXPECT_FALSE(DeleteFileAt(dir / "d"));
  EXPECT_TRUE(DirectoryExists(dir / "d"));
}

TEST(Files, NamesMatchWithoutRegardToCase) {
  test::TempDir dir;
  ASSERT_TRUE(CreateDir(dir / "Data"));
  WriteAll(dir / "Data\\File.TXT", "content");
  EXPECT_TRUE(FileExists(dir / "data\\file.txt"));
  EXPECT_TRUE(DirectoryExists(dir / "DATA"));
  EXPECT_EQ(ReadAll(dir / "data\\file.txt"), "content");
  // Writing under another case replaces the same file instead of adding one.
  WriteAll(dir / "DATA\\FILE.txt", "changed");
  auto entries = ListDir(dir / "data");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].name, "File.TXT");
  EXPECT_EQ(ReadAll(dir / "Data\\File.TXT"), "changed");
  EXPECT_FALSE(CreateDir(dir / "dAtA"));
}

TEST(Files, SlashesAndDotComponentsAreAccepted) {
  test::TempDir dir;
  ASSERT_TRUE(CreateDir(dir / "sub"));
  WriteAll(dir / "sub\\f.txt", "x");
  EXPECT_TRUE(FileExists(dir.path() + "/sub/f.txt"));
  EXPECT_TRUE(FileExists(dir / "sub\\.\\..\\sub\\f.txt"));
  EXPECT_TRUE(FileExists(dir / "missing\\..\\sub\\f.txt"));
}

// The names Windows refuses are refused alike on the host stand-in, and a device name is never
// opened as the device: nothing is created, and the reason is told.
TEST(Files, NamesWindowsRefusesAreNeverCreated) {
  test::TempDir dir;
  WriteAll(dir / "source.txt", "s");
  const struct {
    std::string name;
    FileFault fault;
  } cases[] = {
      {"a<b", FileFault::BadName},
      {"a>b", FileFault::BadName},
      {"a|b", FileFault::BadName},
      {"a?b", FileFault::BadName},
      {"a*b", FileFault::BadName},
      {"a\"b", FileFault::BadName},
      {"a:b", FileFault::BadName},
      {"tab\tx", FileFault::BadName},
      {"esc\x1bx", FileFault::BadName},
      {std::string("nul\0x", 5), FileFault::BadName},
      {"CON", FileFault::BadName},
      {"nul.txt", FileFault::BadName},
      {"Com1.txt", FileFault::BadName},
      {"LPT9", FileFault::BadName},
      {"aux .log", FileFault::BadName},
      {"conin$", FileFault::BadName},
      {std::string(256, 'n'), FileFault::TooLong},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / c.name;
    File f;
    EXPECT_FALSE(f.Open(path, OpenMode::Create));
    EXPECT_EQ(LastFileFault(), c.fault);
    EXPECT_FALSE(f.Open(path, OpenMode::OpenOrCreate));
    EXPECT_EQ(LastFileFault(), c.fault);
    EXPECT_FALSE(CreateDir(path));
    EXPECT_EQ(LastFileFault(), c.fault);
    EXPECT_FALSE(CopyFileTo(dir / "source.txt", path, false));
    EXPECT_FALSE(RenameFile(dir / "source.txt", path));
  }
  auto entries = ListDir(dir.path());
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].name, "source.txt");
  // Names that only look alike are ordinary.
  for (const char* name : {"console.txt", "com10.txt", "lpt0", "nul_x", "a b.txt"}) {
    File f;
    EXPECT_TRUE(f.Open(dir / name, OpenMode::Create)) << name;
    EXPECT_EQ(LastFileFault(), FileFault::None);
  }
}

// Paths beyond MAX_PATH work for everything an install and an uninstall do; a component of
// 255 UTF-16 units is allowed (85 three-byte characters are 255 units and 255 bytes).
TEST(Files, PathsLongerThanMaxPathWork) {
  test::TempDir dir;
  std::string deep = dir.path();
  const std::string part = std::string(60, 'd') + "\xE6\x97\xA5";
  for (int i = 0; i < 6; ++i) {
    deep += "\\" + part;
    ASSERT_TRUE(CreateDir(deep)) << i;
  }
  ASSERT_GT(deep.size(), 400u);
  std::string name;
  for (int i = 0; i < 85; ++i) name += "\xE6\x97\xA5";
  const std::string file = deep + "\\" + name;
  {
    File f;
    ASSERT_TRUE(f.Open(file, OpenMode::Create));
    ASSERT_EQ(f.Write("long", 4), 4u);
  }
  EXPECT_EQ(FileSize(file), 4u);
  EXPECT_TRUE(FileExists(deep + "\\.\\..\\" + part + "\\" + name));
  ASSERT_TRUE(CopyFileTo(file, deep + "\\copy.txt", true));
  EXPECT_FALSE(CopyFileTo(file, file + ".copy", true));  // a component of 260 units
  ASSERT_TRUE(RenameFile(deep + "\\copy.txt", deep + "\\renamed.txt"));
  auto entries = ListDir(deep);
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->size(), 2u);
  EXPECT_TRUE(DeleteFileAt(file) && DeleteFileAt(deep + "\\renamed.txt"));
  EXPECT_TRUE(RemoveDir(deep));
  EXPECT_FALSE(DirectoryExists(deep));
}

TEST(Files, TempDirExistsAndEndsWithABackslash) {
  const std::string temp = TempDir();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(DirectoryExists(temp));
}

TEST(Files, ExecutablePathNamesThisProgram) {
  const std::string exe = ExecutablePath();
  EXPECT_TRUE(FileExists(exe)) << exe;
  EXPECT_NE(exe.find("platform_tests"), std::string::npos) << exe;
  EXPECT_EQ(exe[1], ':') << exe;
}

}  // namespace
}  // namespace zq::platform
