#include "engine/wizard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <thread>

#include "engine/front_end.h"
#include "engine/progress.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "engine/page_test_support.h"

namespace zq {
namespace {

// The stock install sequence with the named controls, and a side label on every page.
struct WizardFixture : test::PageFiles {
  explicit WizardFixture(const std::string& types =
                             "Welcome\r\nChangeLog\r\nInstallDir\r\nPatch\r\nPatching\r\nFinish\r\nMainLayout\r\n") {
    entries["Pages.txt"] =
        "[Pages]\r\nwelcome.txt\r\nlog.txt\r\ndir.txt\r\npatch.txt\r\nwork.txt\r\nfinish.txt\r\nmain.txt\r\n"
        "[PageTypes]\r\n" +
        types;
    entries["welcome.txt"] = "[title]\r\nType=TLabel\r\ncaption=<LANG1>\r\n";
    entries["log.txt"] = "";
    entries["dir.txt"] =
        "[installdir_edit]\r\nType=TEdit\r\ntext=\r\n[INSTALLDIR_SHELLTREEVIEW]\r\nType=TShellTreeView\r\n";
    entries["patch.txt"] = "[spaceavalible]\r\nType=TLabel\r\ncaption=<LANG7>\r\n";
    entries["work.txt"] = "[patching_statuslabel]\r\nType=TLabel\r\n[patching_progressbar]\r\nType=TProgressBar\r\n";
    entries["finish.txt"] = "[finishtext]\r\nType=TLabel\r\ncaption=Done\r\n";
    entries["main.txt"] = "[side]\r\nType=TLabel\r\ncaption=<LANG14>\r\n";
    ctx.Choices.InstallDir = dir / "Demo";
    ctx.Choices.SpaceRequired = 1000;
    ctx.Choices.SpaceAvailable = 5000;
  }
  Wizard& Up() {
    wizard = std::make_unique<Wizard>(ctx, &view);
    wizard->SetPagesUp(Fetch());
    return *wizard;
  }
  PageKind Type() const { return *wizard->Pages().CurrentType(); }
  const WizardButtons& Buttons() const { return wizard->Pages().Buttons(); }

  test::TempDir dir;
  test::RecordingView view;
  std::unique_ptr<Wizard> wizard;
};

TEST(Wizard, SetPagesUpRegistersControlsAndSetsTexts) {
  WizardFixture f;
  Wizard& w = f.Up();
  EXPECT_EQ(f.view.title, u"Demo Game");
  EXPECT_EQ(f.view.caption, u"Demo Game");
  ASSERT_NE(w.InstallDirEdit(), nullptr);
  ASSERT_NE(w.FolderTree(), nullptr);  // names match without regard to case
  ASSERT_NE(w.Gauge(), nullptr);
  EXPECT_EQ(w.InstallDirEdit()->Caption, platform::Utf8ToWide(f.dir / "Demo"));
  // The tree shows the nearest folder that exists, without opening nodes.
  ASSERT_EQ(f.view.tree_folders.size(), 1u);
  EXPECT_EQ(f.view.tree_folders[0], std::make_pair(f.dir.path() + "\\", false));
  EXPECT_EQ(f.ctx.Services.StatusLabel != nullptr, true);
  EXPECT_EQ(f.Buttons().Cancel.Caption, u"Cancel");
  EXPECT_FALSE(f.Buttons().Language.Visible);  // one table
  ASSERT_EQ(w.LanguageMenu().size(), 1u);
  EXPECT_TRUE(w.LanguageMenu()[0].Checked);
}

TEST(Wizard, UninstallerTitleUsesTheShortName) {
  WizardFixture f;
  f.ctx.SetupToLoad().SetupInfo.Mode = SetupMode::Uninstaller;
  f.Up();
  EXPECT_EQ(f.view.title, u"Demo Uninstallation");
}

TEST(Wizard, LanguageSwitchRecaptionsLabelsAndKeepsTypedText) {
  WizardFixture f;
  f.AddLanguage(test::kGermanTable);
  Wizard& w = f.Up();
  EXPECT_TRUE(f.Buttons().Language.Visible);
  EXPECT_EQ(f.Buttons().Language.Caption, u"English");
  w.Next();
  w.Next();
  ASSERT_EQ(f.Type(), ptInstallDir);
  w.InstallDirTyped(platform::Utf8ToWide(f.dir / "Typed"));
  w.ChooseLanguage(1);
  EXPECT_EQ(f.Buttons().Language.Caption, u"Deutsch");
  EXPECT_EQ(f.Buttons().Back.Caption, u"< Zur\u00fcck");
  EXPECT_EQ(f.Buttons().Next.Caption, u"Weiter >");
  EXPECT_EQ(f.Buttons().Cancel.Caption, u"Abbrechen");
  EXPECT_EQ(w.Pages().Area().FindByName("title")->Caption, u"Willkommen bei Demo Game");
  EXPECT_EQ(w.Pages().Area().FindByName("side")->Caption, u"Abbrechen");
  EXPECT_EQ(w.InstallDirEdit()->Caption, platform::Utf8ToWide(f.dir / "Typed"));
  EXPECT_FALSE(w.LanguageMenu()[0].Checked);
  EXPECT_TRUE(f.view.menu[1].Checked);
  w.ChooseLanguage(7);  // no such table
  EXPECT_EQ(f.ctx.Choices.Language, 1);
  EXPECT_EQ(f.ctx.Setup.Languages.Current, 0);  // the loaded tables keep start-up's default
}

TEST(Wizard, InstallDirFirstArrivalAndTyping) {
  WizardFixture f;
  Wizard& w = f.Up();
  // Typing before the page was reached does not change the install directory.
  w.Next();
  EXPECT_FALSE(w.InstallDirVisited());
  w.Next();
  EXPECT_TRUE(w.InstallDirVisited());
  EXPECT_EQ(f.ctx.Choices.InstallDir, f.dir / "Demo");
  EXPECT_TRUE(f.Buttons().Next.Enabled);
  EXPECT_FALSE(f.ctx.Choices.SpaceAvailableText.empty());
  EXPECT_EQ(f.view.tree_folders.back(), std::make_pair(f.dir.path() + "\\", true));

  // An echo of the model's own text changes nothing; real typing is stored.
  const std::size_t selections = f.view.tree_folders.size();
  w.InstallDirTyped(w.InstallDirEdit()->Caption);
  EXPECT_EQ(f.view.tree_folders.size(), selections);
  test::WriteAll(f.dir / "marker", "");
  w.InstallDirTyped(platform::Utf8ToWide(f.dir / "Other"));
  EXPECT_EQ(f.ctx.Choices.InstallDir, f.dir / "Other");

  // A drive that does not exist disables Next and leaves the directory and tree alone.
  w.InstallDirTyped(u"Q:\\Games");
  EXPECT_FALSE(f.Buttons().Next.Enabled);
  EXPECT_FALSE(f.view.buttons.Next.Enabled);
  EXPECT_EQ(f.ctx.Choices.InstallDir, f.dir / "Other");
  EXPECT_EQ(f.view.tree_folders.size(), selections + 1);
  w.InstallDirTyped(platform::Utf8ToWide(f.dir.path()));
  EXPECT_TRUE(f.Buttons().Next.Enabled);

  // Back and forth again: not a first arrival, the typed directory stays.
  w.Back();
  w.Next();
  EXPECT_EQ(w.InstallDirEdit()->Caption, platform::Utf8ToWide(f.dir.path()));
}

TEST(Wizard, FolderTreeChoiceFillsTheEdit) {
  WizardFixture f;
  Wizard& w = f.Up();
  w.TreeFolderChosen(f.dir / "Elsewhere");  // not on the page: ignored
  EXPECT_EQ(w.InstallDirEdit()->Caption, platform::Utf8ToWide(f.dir / "Demo"));
  w.Next();
  w.Next();
  w.TreeFolderChosen(f.dir / "Elsewhere");
  EXPECT_EQ(w.InstallDirEdit()->Caption, platform::Utf8ToWide(f.dir / "Elsewhere"));
  EXPECT_EQ(f.ctx.Choices.InstallDir, f.dir / "Elsewhere");
}

TEST(Wizard, NearestExistingFolder) {
  auto exists = [](const std::string& p) { return p == "C:" || p == "C:\\Games" || p == "D:\\"; };
  EXPECT_EQ(NearestExistingFolder("C:\\Games\\Demo\\Data\\", exists), "C:\\Games\\");
  EXPECT_EQ(NearestExistingFolder("C:\\Games", exists), "C:\\Games\\");
  EXPECT_EQ(NearestExistingFolder("C:\\None\\Deeper", exists), "C:\\");
  EXPECT_EQ(NearestExistingFolder("Q:\\None", exists), std::nullopt);
  EXPECT_EQ(NearestExistingFolder("relative", exists), std::nullopt);
  EXPECT_EQ(NearestExistingFolder("", exists), std::nullopt);
}

TEST(Wizard, PatchPageChecksSpaceAndShowsIt) {
  WizardFixture f;
  Wizard& w = f.Up();
  for (int i = 0; i < 3; ++i) w.Next();
  ASSERT_EQ(f.Type(), ptPatch);
  EXPECT_TRUE(f.Buttons().Next.Enabled);
  EXPECT_EQ(f.Buttons().Next.Caption, u"Install");
  EXPECT_EQ(w.SpaceLabel()->Caption, u"Space available " + platform::Utf8ToWide(f.ctx.Choices.SpaceAvailableText));

  f.ctx.Choices.SpaceAvailable = 999;
  w.Back();
  f.ctx.Choices.SpaceAvailableText = "999 Bytes";  // as a directory change on the previous page would leave it
  f.ctx.Choices.SpaceAvailable = 999;
  w.Pages().ShowPage(2);
  w.Next();
  EXPECT_FALSE(f.Buttons().Next.Enabled);
  EXPECT_FALSE(f.view.buttons.Next.Enabled);
  EXPECT_EQ(w.SpaceLabel()->Caption, u"Space available 999 Bytes");
}

// Start-up leaves no figure when the directory still held a macro; a confirmation page with no
// directory page before it must not refuse for want of one, in the window or silently.
TEST(Wizard, FreeSpaceIsMeasuredOnceTheDirectoryIsExpanded) {
  for (const bool silent : {false, true}) {
    SCOPED_TRACE(silent ? "silent" : "window");
    WizardFixture f("Welcome\r\nPatch\r\nPatching\r\nFinish\r\n");
    f.entries["Pages.txt"] =
        "[Pages]\r\nwelcome.txt\r\npatch.txt\r\nwork.txt\r\nfinish.txt\r\n[PageTypes]\r\nWelcome\r\nPatch\r\nPatching\r\nFinish\r\n";
    f.ctx.SetupToLoad().ProgramFilesDir = f.dir.path() + "\\";
    f.ctx.Choices.InstallDir = "$PROGRAMFILES\\Demo";
    f.ctx.Choices.SpaceAvailable = 0;
    f.ctx.Choices.SpaceAvailableText.clear();
    Wizard& w = f.Up();
    EXPECT_EQ(f.ctx.Choices.InstallDir, f.dir / "Demo");
    if (silent) {
      EXPECT_EQ(w.WalkUnattended(), Wizard::WalkEnd::Finished);
      EXPECT_EQ(f.Type(), ptFinish);
    } else {
      w.Next();
      ASSERT_EQ(f.Type(), ptPatch);
      EXPECT_TRUE(f.Buttons().Next.Enabled);
    }
    EXPECT_GT(f.ctx.Choices.SpaceAvailable, f.ctx.Choices.SpaceRequired);
    EXPECT_EQ(w.SpaceLabel()->Caption, u"Space available " + platform::Utf8ToWide(f.ctx.Choices.SpaceAvailableText));
    EXPECT_FALSE(f.ctx.Choices.SpaceAvailableText.empty());
  }
}

// The silent run's one entry point: the checks of the buttons, with pages or with the implicit
// sequence of a setup that has none.
TEST(Wizard, UnattendedWalkEndsWhereNextStaysOff) {
  using End = Wizard::WalkEnd;
  constexpr std::int64_t kMoreThanAnyDrive = std::numeric_limits<std::int64_t>::max();
  struct Case {
    const char* name;
    const char* pages;  // the page list; null: the stock sequence; empty: none at all
    std::uint8_t mode;
    const char* dir;  // empty: a folder of the test, given with a trailing backslash
    std::int64_t required;
    End end;
    int runs;
  };
  const char* progress_last = "[Pages]\r\nwelcome.txt\r\nwork.txt\r\n[PageTypes]\r\nWelcome\r\nPatching\r\n";
  const Case cases[] = {
      {"pages", nullptr, 0, "", 1000, End::Finished, 1},
      {"pages, unusable drive", nullptr, 0, "Q:\\Games", 1000, End::UnusableDrive, 0},
      {"pages, too little space", nullptr, 0, "", kMoreThanAnyDrive, End::ShortSpace, 0},
      {"pages, a progress page last", progress_last, 0, "", 1000, End::Stuck, 1},
      {"no pages", "", 0, "", 1000, End::Finished, 1},
      {"no pages, unusable drive", "", 0, "Q:\\Games", 1000, End::UnusableDrive, 0},
      {"no pages, too little space", "", 0, "", kMoreThanAnyDrive, End::ShortSpace, 0},
      {"no pages, uninstaller", "", 1, "", 0, End::Finished, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WizardFixture f;
    if (c.pages != nullptr && *c.pages == '\0') f.entries.clear();
    else if (c.pages != nullptr) f.entries["Pages.txt"] = c.pages;
    f.ctx.SetupToLoad().SetupInfo.Mode = static_cast<SetupMode>(c.mode);
    f.ctx.Choices.InstallDir = *c.dir != '\0' ? std::string(c.dir) : f.dir / "Demo\\";
    f.ctx.Choices.SpaceRequired = c.required;
    f.wizard = std::make_unique<Wizard>(f.ctx, &f.view);
    Wizard& w = *f.wizard;
    int runs = 0;
    w.RunScript = [&] { ++runs; };
    w.RunUninstall = [&] { ++runs; };
    w.SetPagesUp(f.Fetch(), true);
    EXPECT_EQ(w.WalkUnattended(), c.end);
    EXPECT_EQ(runs, c.runs);
    EXPECT_TRUE(f.boxes.shown.empty());  // a missing page list is no error here
    if (c.end != End::Finished) continue;
    EXPECT_EQ(w.ExitCode(), kExitInstalled);
    EXPECT_EQ(w.ShouldStartFinaliser(), c.mode == 1);
    // The run reports through the progress page's controls, implicit ones without pages.
    ASSERT_NE(w.StatusLabel(), nullptr);
    EXPECT_NE(std::find(f.view.changed.begin(), f.view.changed.end(), w.StatusLabel()), f.view.changed.end());
    if (c.mode == 0) {
      EXPECT_EQ(w.StatusLabel()->Caption, u"Status: 0 of 0 files extracted");
      EXPECT_EQ(f.ctx.Choices.InstallDir, f.dir / "Demo");
    } else {
      EXPECT_EQ(w.StatusLabel()->Caption, u"Status: 0 of 0 items remaining");
    }
  }
}

TEST(Wizard, CancellingARunUndoesItAndEndsWithExitCodeOne) {
  WizardFixture f;
  Wizard& w = f.Up();
  w.RunScript = [&] {
    f.boxes.answer = kIdYes;
    EXPECT_FALSE(w.MayClose());  // the run ends first
    EXPECT_TRUE(f.ctx.Run.Cancelled);
  };
  for (int i = 0; i < 4; ++i) w.Next();
  EXPECT_EQ(f.Type(), ptFinish);
  EXPECT_EQ(w.ExitCode(), kExitCancelled);
}

TEST(Wizard, RunHandsOverAndLandsOnTheFinishPage) {
  WizardFixture f;
  Wizard& w = f.Up();
  bool ran = false;
  w.RunScript = [&] {
    ran = true;
    EXPECT_TRUE(w.Working());
    EXPECT_EQ(f.ctx.Run.CurrentLine, -1);
    EXPECT_FALSE(f.Buttons().Next.Enabled);
    EXPECT_TRUE(f.Buttons().Cancel.Enabled);  // a run may be cancelled
    f.boxes.answer = kIdNo;
    EXPECT_FALSE(w.MayClose());  // never closes while working; No goes on
    EXPECT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_FALSE(f.ctx.Run.Cancelled);
    f.boxes.shown.clear();
    EXPECT_EQ(w.StatusLabel()->Caption, u"Status: 0 of 0 files extracted");
    // The worker's reports reach the model through the window's thread.
    std::thread worker([&] {
      SetStatusText(f.ctx.Services, u"Extracting a.dat");
      f.ctx.Services.Gauge->SetPosition(40);
    });
    worker.join();
  };
  for (int i = 0; i < 4; ++i) w.Next();
  EXPECT_TRUE(ran);
  EXPECT_EQ(f.Type(), ptFinish);
  EXPECT_FALSE(w.Working());
  EXPECT_EQ(f.view.working, (std::vector<bool>{true, false}));
  EXPECT_EQ(f.view.handed_over, 2);
  EXPECT_EQ(w.StatusLabel()->Caption, u"Extracting a.dat");
  EXPECT_EQ(w.Gauge()->Gauge.Progress(), 40);
  ASSERT_EQ(f.ctx.Run.UninstallList.Dirs.size(), 1u);
  EXPECT_EQ(f.ctx.Run.UninstallList.Dirs[0], f.dir / "Demo");  // kept without a trailing backslash

  // The finish page closes without a question.
  EXPECT_EQ(f.Buttons().Cancel.Caption, u"Finish");
  EXPECT_FALSE(f.Buttons().Next.Visible);
  EXPECT_EQ(f.view.close_requests, 0);
  EXPECT_TRUE(w.MayClose());
  EXPECT_TRUE(f.boxes.shown.empty());
  EXPECT_FALSE(w.ShouldStartFinaliser());
  EXPECT_EQ(w.ExitCode(), kExitInstalled);
  f.ctx.Run.SetupAborted = true;
  EXPECT_EQ(w.ExitCode(), kExitScriptFailed);
}

TEST(Wizard, NextOnTheLastPageRepeatsItsAction) {
  WizardFixture f;
  f.entries["Pages.txt"] = "[Pages]\r\nwelcome.txt\r\nfinish.txt\r\n[PageTypes]\r\nWelcome\r\nFinish\r\n";
  Wizard& w = f.Up();
  w.Next();
  EXPECT_EQ(f.view.close_requests, 1);
  w.Next();
  EXPECT_EQ(f.view.close_requests, 2);
  EXPECT_EQ(w.Pages().Current(), 1);
}

TEST(Wizard, RunFailureClearsWorking) {
  WizardFixture f;
  Wizard& w = f.Up();
  w.RunScript = [] { throw std::runtime_error("broken"); };
  for (int i = 0; i < 3; ++i) w.Next();
  EXPECT_THROW(w.Next(), std::runtime_error);
  EXPECT_FALSE(w.Working());
}

TEST(Wizard, QuitQuestionAnsweredNoKeepsTheWindow) {
  WizardFixture f;
  Wizard& w = f.Up();
  f.boxes.answer = kIdNo;
  w.Cancel();
  EXPECT_EQ(f.view.close_requests, 1);
  EXPECT_FALSE(w.MayClose());
  ASSERT_EQ(f.boxes.shown.size(), 1u);
  EXPECT_EQ(std::get<0>(f.boxes.shown[0]), u"Are you sure you want to quit the installation?");
  EXPECT_EQ(std::get<1>(f.boxes.shown[0]), u"Quit");
  EXPECT_EQ(std::get<2>(f.boxes.shown[0]) & 0xF, kMbYesNo);
  f.boxes.answer = kIdYes;
  EXPECT_TRUE(w.MayClose());
  EXPECT_EQ(w.ExitCode(), kExitCancelled);  // closed before the finish page
}

TEST(Wizard, NoPagesAtAll) {
  WizardFixture f;
  f.entries.clear();
  Wizard& w = f.Up();
  EXPECT_EQ(w.Pages().PageCount(), 0);
  EXPECT_EQ(w.InstallDirEdit(), nullptr);
  EXPECT_EQ(f.ctx.Services.StatusLabel, nullptr);
  f.boxes.shown.clear();
  w.Next();
  w.Back();
  EXPECT_EQ(f.view.close_requests, 0);
  f.boxes.answer = kIdNo;
  EXPECT_TRUE(w.MayClose());
  EXPECT_TRUE(f.boxes.shown.empty());
}

TEST(Wizard, UninstallPageRunsTheRemovalAndMovesOn) {
  WizardFixture f("Welcome\r\nPatch\r\nUninstall\r\nFinish\r\n");
  f.entries["Pages.txt"] =
      "[Pages]\r\nwelcome.txt\r\npatch.txt\r\nwork.txt\r\nfinish.txt\r\n[PageTypes]\r\nWelcome\r\nPatch\r\nUninstall\r\nFinish\r\n";
  f.ctx.SetupToLoad().SetupInfo.Mode = SetupMode::Uninstaller;
  f.ctx.Run.UninstallList.Files = {"a", "b", "c"};
  f.ctx.Run.UninstallList.Dirs = {"d"};
  Wizard& w = f.Up();
  int calls = 0;
  w.RunUninstall = [&] {
    ++calls;
    EXPECT_TRUE(w.Working());
    EXPECT_EQ(w.Gauge()->Gauge.Max(), 4);
    EXPECT_EQ(w.StatusLabel()->Caption, u"Status: 0 of 4 items remaining");
  };
  w.Next();
  EXPECT_EQ(f.Buttons().Next.Caption, u"Install");  // text 15 of the table in use
  w.Next();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(f.Type(), ptFinish);
  EXPECT_FALSE(w.Working());
  EXPECT_TRUE(w.ShouldStartFinaliser());
}

// An uninstall that stopped (a file held, a log that fails its check) does not say the product
// was removed.
TEST(Wizard, TheFinishPageOfAnUninstallThatStoppedSaysSo) {
  const struct {
    const char* what;
    bool stops;
    const char16_t* table;
    std::u16string finish_text;
  } cases[] = {
      {"removed", false, test::kEnglishTable, u"Done"},
      {"stopped: the table's text", true, u"English\r\n0409;\r\n23 Setup failed to uninstall.\r\n",
       u"Setup failed to uninstall."},
      {"stopped: a table without it", true, test::kEnglishTable,
       u"Demo could not be removed completely. Run the uninstaller again once the reason given is put right."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WizardFixture f("Welcome\r\nUninstall\r\nFinish\r\n");
    f.entries["Pages.txt"] =
        "[Pages]\r\nwelcome.txt\r\nwork.txt\r\nfinish.txt\r\n[PageTypes]\r\nWelcome\r\nUninstall\r\nFinish\r\n";
    f.ctx.SetupToLoad().SetupInfo.Mode = SetupMode::Uninstaller;
    f.ctx.SetupToLoad().Languages.Items.clear();
    f.AddLanguage(c.table);
    Wizard& w = f.Up();
    w.RunUninstall = [&] { f.ctx.Run.SetupAborted = c.stops; };
    w.Next();
    EXPECT_EQ(f.Type(), ptFinish);
    ASSERT_NE(w.DetailLabel(), nullptr);
    EXPECT_EQ(w.DetailLabel()->Caption, c.finish_text);
    EXPECT_EQ(w.ExitCode(), c.stops ? kExitScriptFailed : kExitInstalled);
  }
}

}  // namespace
}  // namespace zq
