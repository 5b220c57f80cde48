#include "engine/logged_files.h"

#include <gtest/gtest.h>

#include "engine/setup_context.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

TEST(ForceDirectoriesLogged, RecordsOnlyTheFoldersItCreates) {
  test::TempDir dir;
  SetupContext ctx;
  const std::string a = dir / "A";
  ASSERT_TRUE(platform::CreateDir(a));
  ForceDirectoriesLogged(ctx.Run.UninstallList, a + "\\B\\C");
  EXPECT_EQ(ctx.Run.UninstallList.Dirs, (std::vector<std::string>{a + "\\B\\", a + "\\B\\C"}));
  EXPECT_TRUE(platform::DirectoryExists(a + "\\B\\C"));
  ForceDirectoriesLogged(ctx.Run.UninstallList, a + "\\B\\C");
  EXPECT_EQ(ctx.Run.UninstallList.Dirs.size(), 2u);
  // Relative, rooted-only and UNC paths are not handled.
  for (const char* ignored : {"rel\\x", "C:\\", "\\\\server\\share\\x", "C:"})
    ForceDirectoriesLogged(ctx.Run.UninstallList, ignored);
  EXPECT_EQ(ctx.Run.UninstallList.Dirs.size(), 2u);
}

TEST(WriteFileLogged, CreatesFoldersAndTheFile) {
  test::TempDir dir;
  SetupContext ctx;
  const std::string file = dir / "x\\y\\f.bin";
  ASSERT_TRUE(WriteFileLogged(ctx.Run.UninstallList, file, "abc", 3));
  EXPECT_EQ(test::ReadAll(file), "abc");
  EXPECT_EQ(ctx.Run.UninstallList.Dirs.size(), 2u);
  EXPECT_TRUE(ctx.Run.UninstallList.Files.empty());
  ASSERT_TRUE(WriteFileLogged(ctx.Run.UninstallList, file, nullptr, 0));
  EXPECT_EQ(test::ReadAll(file), "");
}

TEST(RemoveTree, RemovesEverythingDeepestFirst) {
  test::TempDir dir;
  SetupContext ctx;
  const std::string root = dir / "tree";
  WriteFileLogged(ctx.Run.UninstallList, root + "\\a.txt", "a", 1);
  WriteFileLogged(ctx.Run.UninstallList, root + "\\s1\\b.txt", "b", 1);
  WriteFileLogged(ctx.Run.UninstallList, root + "\\s1\\s2\\s3\\c.txt", "c", 1);
  platform::CreateDir(root + "\\empty");
  platform::SetReadOnly(root + "\\s1\\b.txt", true);
  EXPECT_TRUE(RemoveTree(root));
  EXPECT_FALSE(platform::DirectoryExists(root));
  EXPECT_FALSE(RemoveTree(root));  // nothing there: nothing to do
}

#ifdef _WIN32
TEST(RemoveTree, EndsWhenAFileCannotBeDeleted) {
  test::TempDir dir;
  SetupContext ctx;
  const std::string root = dir / "tree";
  WriteFileLogged(ctx.Run.UninstallList, root + "\\keep\\locked.txt", "x", 1);
  WriteFileLogged(ctx.Run.UninstallList, root + "\\other\\gone.txt", "y", 1);
  platform::File lock;
  ASSERT_TRUE(lock.Open(root + "\\keep\\locked.txt", platform::OpenMode::ReadExclusive));
  if (platform::DeleteFileAt(root + "\\keep\\locked.txt")) GTEST_SKIP() << "this system deletes open files";
  EXPECT_FALSE(RemoveTree(root));
  EXPECT_TRUE(platform::FileExists(root + "\\keep\\locked.txt"));
  EXPECT_FALSE(platform::DirectoryExists(root + "\\other"));
}
#endif

}  // namespace
}  // namespace zq
