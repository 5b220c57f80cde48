// Host only: an optical drive made with the prefix's drive table.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/host_prefix.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "engine/page_test_support.h"
#include "engine/wizard.h"

namespace zq {
namespace {

TEST(WizardDrives, OpticalDriveDisablesNextUntilCorrected) {
  test::PageFiles f;
  f.entries["Pages.txt"] = "[Pages]\r\na.txt\r\nb.txt\r\nc.txt\r\n[PageTypes]\r\nWelcome\r\nInstallDir\r\nPatch\r\n";
  f.entries["a.txt"] = "";
  f.entries["b.txt"] = "[installdir_edit]\r\nType=TEdit\r\n[installdir_shelltreeview]\r\nType=TShellTreeView\r\n";
  f.entries["c.txt"] = "";
  test::TempDir media, target;
  ASSERT_TRUE(platform::MapDrive('R', std::filesystem::canonical(*platform::HostPath(media.path())).string()));
  ASSERT_TRUE(platform::SetDriveType('R', platform::DriveType::CdRom));
  f.ctx.Choices.InstallDir = target.path();
  test::RecordingView view;
  Wizard w(f.ctx, &view);
  w.SetPagesUp(f.Fetch());
  w.Next();
  ASSERT_TRUE(w.Pages().Buttons().Next.Enabled);
  const std::size_t selections = view.tree_folders.size();

  f.ctx.Choices.SpaceAvailableText = "unchanged";
  w.InstallDirTyped(u"R:\\Game");
  EXPECT_FALSE(w.Pages().Buttons().Next.Enabled);
  EXPECT_EQ(f.ctx.Choices.SpaceAvailableText, "unchanged");
  EXPECT_EQ(view.tree_folders.size(), selections);  // the tree is not moved
  // A folder chosen in the tree on that drive is not taken either.
  w.TreeFolderChosen("R:\\");
  EXPECT_EQ(w.InstallDirEdit()->Caption, u"R:\\Game");

  w.InstallDirTyped(platform::Utf8ToWide(target / "Game"));
  EXPECT_TRUE(w.Pages().Buttons().Next.Enabled);
  EXPECT_NE(f.ctx.Choices.SpaceAvailableText, "unchanged");
  EXPECT_EQ(view.tree_folders.back(), std::make_pair(target.path() + "\\", true));
}

}  // namespace
}  // namespace zq
