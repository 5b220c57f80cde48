// The page list of ui/, built from the tables and message boxes of a SetupContext, hence among
// the engine's tests.
#include "ui/page_control.h"

#include <gtest/gtest.h>

#include "ui/page_error.h"
#include "engine/page_test_support.h"

namespace zq {
namespace {

using test::PageFiles;

// Pages p0.txt.. each with one label "label<i>", listed with the given types.
struct Pages : PageFiles {
  Pages(const std::vector<std::string>& types, const std::string& settings = "") {
    std::string list = "[Pages]\r\n";
    std::string type_lines = "[PageTypes]\r\n";
    for (std::size_t i = 0; i < types.size(); ++i) {
      const std::string n = std::to_string(i);
      list += "p" + n + ".txt\r\n";
      type_lines += types[i] + "\r\n";
      entries["p" + n + ".txt"] = "[label" + n + "]\r\nType=TLabel\r\n[edit" + n + "]\r\nType=TEdit\r\n";
    }
    entries["Pages.txt"] = list + type_lines + settings;
  }
  TSEPageControl& Load() {
    pages = std::make_unique<TSEPageControl>(Environment(&view));
    pages->LoadPages("Pages.txt");
    return *pages;
  }
  std::vector<int> VisiblePages() const {
    std::vector<int> out;
    for (int i = 0; i < pages->PageCount(); ++i) {
      const auto& cs = pages->Page(i).Controls();
      if (!cs.empty() && cs[0]->Visible) out.push_back(i);
    }
    return out;
  }
  test::RecordingView view;
  std::unique_ptr<TSEPageControl> pages;
};

TEST(PageList, TypesInAnyCaseAndSettings) {
  Pages f({"WELCOME", "changeLog", "InstallDir", "bogus"},
          "[Settings]\r\ncolour=65280\r\nFontColour $0000FF\r\nother 1\r\n");
  TSEPageControl& p = f.Load();
  ASSERT_EQ(p.PageCount(), 4);
  EXPECT_EQ(p.Page(1).PageType, ptChangeLog);
  EXPECT_EQ(p.Page(2).PageType, ptInstallDir);
  EXPECT_EQ(p.Page(3).PageType, ptWelcome);  // an unknown word leaves the type alone
  EXPECT_EQ(p.BackColour, 0x00FF00u);
  EXPECT_EQ(p.FontColour, 0x0000FFu);
  EXPECT_EQ(p.Current(), 0);
  EXPECT_EQ(f.VisiblePages(), std::vector<int>{0});
}

TEST(PageList, SectionsActInFileOrder) {
  PageFiles f;
  f.entries["Pages.txt"] =
      "; pages come later\r\n[PageTypes]\r\nFinish\r\n[pages]\r\na.txt\r\nb.txt\r\n[Other]\r\nc.txt\r\n"
      "[PAGETYPES]\r\nPatch\r\nFinish\r\nPatching\r\n";
  f.entries["a.txt"] = "";
  f.entries["b.txt"] = "";
  TSEPageControl pages(f.Environment());
  pages.LoadPages("Pages.txt");
  ASSERT_EQ(pages.PageCount(), 2);  // unknown sections add nothing; extra type lines are ignored
  EXPECT_EQ(pages.Page(0).PageType, ptPatch);
  EXPECT_EQ(pages.Page(1).PageType, ptFinish);
  EXPECT_TRUE(pages.Page(0).Controls().empty());
}

TEST(PageList, BadColourIsAnError) {
  Pages f({"Welcome"}, "[Settings]\r\ncolour white\r\n");
  try {
    f.Load();
    FAIL();
  } catch (const PageError& e) {
    EXPECT_EQ(e.File(), "Pages.txt");
    EXPECT_EQ(e.Line(), 6u);
  }
}

TEST(PageList, MissingFilesAreReportedAndLeaveWhatWasBuilt) {
  PageFiles f;
  TSEPageControl none(f.Environment());
  none.LoadPages("Pages.txt");
  EXPECT_EQ(none.PageCount(), 0);
  EXPECT_FALSE(none.CurrentType());
  ASSERT_EQ(f.boxes.shown.size(), 1u);
  EXPECT_EQ(std::get<0>(f.boxes.shown[0]), u"Error File Missing: Pages.txt");
  EXPECT_EQ(std::get<1>(f.boxes.shown[0]), u"Missing File");
  none.ShowPage(0);  // no pages: ignored
  EXPECT_EQ(none.Current(), 0);

  f.entries["Pages.txt"] = "[Pages]\r\ngone.txt\r\n";
  TSEPageControl one(f.Environment());
  one.LoadPages("Pages.txt");
  EXPECT_EQ(one.PageCount(), 1);
  EXPECT_EQ(std::get<0>(f.boxes.shown.back()), u"Error File Missing: |gone.txt|");
}

TEST(PageList, MainLayoutStaysBehindEveryPage) {
  Pages f({"Welcome", "Finish", "MainLayout"});
  TSEPageControl& p = f.Load();
  EXPECT_EQ(f.VisiblePages(), (std::vector<int>{0, 2}));
  // The main layout's controls are rearmost, in their own order.
  const auto& z = p.Area().ZOrder;
  ASSERT_EQ(z.size(), 6u);
  EXPECT_EQ(z[0]->Name, "label2");
  EXPECT_EQ(z[1]->Name, "edit2");
  EXPECT_EQ(z[2]->Name, "label0");
  EXPECT_GT(f.view.zorder_changes, 0);
  p.ShowPage(1);
  EXPECT_EQ(f.VisiblePages(), (std::vector<int>{1, 2}));
  p.ShowPage(2);
  EXPECT_EQ(f.VisiblePages(), (std::vector<int>{2}));
}

TEST(PageList, ButtonsFollowThePageType) {
  Pages f({"Welcome", "ChangeLog", "InstallDir", "Patch", "Patching", "Finish"});
  TSEPageControl& p = f.Load();
  const WizardButtons& b = p.Buttons();
  EXPECT_FALSE(b.Back.Visible);
  EXPECT_EQ(b.Next.Caption, u"Next >");
  p.ShowPage(2);
  EXPECT_TRUE(b.Back.Visible);
  EXPECT_TRUE(b.Next.Enabled);
  p.ShowPage(3);
  EXPECT_EQ(b.Next.Caption, u"Install");
  p.ShowPage(4);
  EXPECT_FALSE(b.Back.Visible);
  EXPECT_FALSE(b.Next.Enabled);
  EXPECT_TRUE(b.Cancel.Enabled);  // a run may be cancelled
  EXPECT_FALSE(b.Language.Visible);
  EXPECT_EQ(b.Next.Caption, u"Next >");
  p.ShowPage(5);
  EXPECT_FALSE(b.Back.Visible);
  EXPECT_FALSE(b.Next.Visible);
  EXPECT_TRUE(b.Cancel.Enabled);
  EXPECT_EQ(b.Cancel.Caption, u"Finish");
  p.ShowPage(1);
  EXPECT_FALSE(b.Language.Visible);  // nothing shows it again
  p.ShowPage(6);
  EXPECT_EQ(p.Current(), 1);
  p.ShowPage(-1);
  EXPECT_EQ(p.Current(), 1);
  EXPECT_EQ(f.view.buttons.Cancel.Caption, u"Finish");
  EXPECT_EQ(f.view.shown_pages.back(), 1);
}

TEST(PageList, RefreshCaptionsFollowsTheLanguageButKeepsEdits) {
  Pages f({"Welcome"});
  f.entries["p0.txt"] =
      "[title]\r\nType=TLabel\r\ncaption=<LANG1>\r\n[plain]\r\nType=TLabel\r\n"
      "[dir]\r\nType=TEdit\r\ntext=<LANG1>\r\n[box]\r\nType=TPanel\r\ncaption=<LANG12>\r\n";
  f.AddLanguage(test::kGermanTable);
  TSEPageControl& p = f.Load();
  Control& dir = *p.Area().FindByName("dir");
  dir.Caption = u"D:\\Games";
  f.ctx.SetupToLoad().Languages.Current = 1;
  p.RefreshCaptions();
  EXPECT_EQ(p.Area().FindByName("title")->Caption, u"Willkommen bei Demo Game");
  EXPECT_EQ(p.Area().FindByName("box")->Caption, u"< Zur\u00fcck");
  EXPECT_EQ(p.Area().FindByName("plain")->Caption, u"");  // no caption source: empty now
  EXPECT_EQ(dir.Caption, u"D:\\Games");
}

}  // namespace
}  // namespace zq
