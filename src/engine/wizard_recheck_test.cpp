// Showing a page again (a language switch, Back) must not enable Next where the page's own
// check keeps it off.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "support/temp_dir.h"
#include "engine/page_test_support.h"
#include "engine/wizard.h"

namespace zq {
namespace {

TEST(WizardRecheck, LanguageSwitchAndBackKeepNextOffWhereTheChecksSaySo) {
  test::PageFiles f;
  f.AddLanguage(u"Deutsch\r\n0407;\r\n13 Weiter >\r\n");
  f.entries["Pages.txt"] =
      "[Pages]\r\na.txt\r\nb.txt\r\nc.txt\r\nd.txt\r\n[PageTypes]\r\nWelcome\r\nInstallDir\r\nPatch\r\nFinish\r\n";
  f.entries["a.txt"] = "";
  f.entries["b.txt"] = "[installdir_edit]\r\nType=TEdit\r\n";
  f.entries["c.txt"] = "";
  f.entries["d.txt"] = "";
  test::TempDir target;
  f.ctx.Choices.InstallDir = target.path();
  test::RecordingView view;
  Wizard w(f.ctx, &view);
  w.SetPagesUp(f.Fetch());
  w.Next();                           // the installation-directory page
  w.InstallDirTyped(u"Q:\\Nowhere");  // a drive that does not exist
  ASSERT_FALSE(w.Pages().Buttons().Next.Enabled);
  w.ChooseLanguage(1);
  EXPECT_FALSE(w.Pages().Buttons().Next.Enabled);
  EXPECT_EQ(w.Pages().Buttons().Next.Caption, u"Weiter >");

  w.InstallDirTyped(platform::Utf8ToWide(target.path()));
  ASSERT_TRUE(w.Pages().Buttons().Next.Enabled);
  f.ctx.Choices.SpaceRequired = f.ctx.Choices.SpaceAvailable + 1;
  w.Next();  // the confirmation page, with too little space
  ASSERT_FALSE(w.Pages().Buttons().Next.Enabled);
  w.ChooseLanguage(0);
  EXPECT_FALSE(w.Pages().Buttons().Next.Enabled);
  // Back to a page whose check passes: Next is on there.
  w.Back();
  EXPECT_TRUE(w.Pages().Buttons().Next.Enabled);
}

}  // namespace
}  // namespace zq
