// Host file behaviour around symbolic links: the prefix's drives are links, and z: leads
// to "/", so no tree walk may pass through one.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/host_prefix.h"
#include "support/temp_dir.h"

namespace zq::platform {
namespace {

TEST(HostLinks, ListDirMarksLinksAndWhereTheyLead) {
  test::TempDir target, tree;
  test::WriteAll(target / "keep.txt", "k");
  ASSERT_EQ(symlink(HostPath(target.path())->c_str(), (*HostPath(tree.path()) + "/dirlink").c_str()), 0);
  ASSERT_EQ(symlink(HostPath(target / "keep.txt")->c_str(), (*HostPath(tree.path()) + "/filelink").c_str()), 0);
  test::WriteAll(tree / "plain.txt", "p");
  auto entries = ListDir(tree.path());
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 3u);
  for (const auto& e : *entries) {
    if (e.name == "dirlink") {
      EXPECT_TRUE(e.is_link);
      EXPECT_TRUE(e.is_directory);
    } else if (e.name == "filelink") {
      EXPECT_TRUE(e.is_link);
      EXPECT_FALSE(e.is_directory);
    } else {
      EXPECT_EQ(e.name, "plain.txt");
      EXPECT_FALSE(e.is_link);
    }
    EXPECT_EQ(IsLink(tree / e.name), e.is_link) << e.name;
  }
  ASSERT_EQ(symlink("/nonexistent-zq", (*HostPath(tree.path()) + "/dangling").c_str()), 0);
  EXPECT_TRUE(IsLink(tree / "dangling"));
  EXPECT_FALSE(IsLink(tree / "missing"));
}

TEST(HostLinks, RemovingATreeLeavesWhatItsLinksLeadTo) {
  test::TempDir target;
  test::WriteAll(target / "keep.txt", "k");
  test::TempDir holder;
  const std::string tree = holder / "tree";
  ASSERT_TRUE(CreateDir(tree));
  ASSERT_EQ(symlink(HostPath(target.path())->c_str(), (*HostPath(tree) + "/dirlink").c_str()), 0);
  test::RemoveAll(tree);
  EXPECT_FALSE(DirectoryExists(tree));
  EXPECT_EQ(test::ReadAll(target / "keep.txt"), "k");
}

TEST(HostLinks, DeletingALinkKeepsItsTarget) {
  test::TempDir target, tree;
  test::WriteAll(target / "keep.txt", "k");
  ASSERT_EQ(symlink(HostPath(target / "keep.txt")->c_str(), (*HostPath(tree.path()) + "/filelink").c_str()), 0);
  ASSERT_EQ(symlink("/nonexistent-zq", (*HostPath(tree.path()) + "/dangling").c_str()), 0);
  EXPECT_TRUE(DeleteFileAt(tree / "filelink"));
  EXPECT_TRUE(DeleteFileAt(tree / "dangling"));
  EXPECT_EQ(test::ReadAll(target / "keep.txt"), "k");
  auto entries = ListDir(tree.path());
  ASSERT_TRUE(entries);
  EXPECT_TRUE(entries->empty());
}

}  // namespace
}  // namespace zq::platform
