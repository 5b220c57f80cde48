// The pages that ask: the licence that must be accepted, the components' boxes, the run box of
// the finish page and the boxes "ifchecked" reads.
#include <gtest/gtest.h>

#include "engine/page_test_support.h"
#include "engine/wizard.h"

namespace zq {
namespace {

struct ChoicePages : test::PageFiles {
  ChoicePages() {
    entries["Pages.txt"] =
        "[Pages]\r\nlicense.txt\r\nparts.txt\r\nwork.txt\r\nfinish.txt\r\n"
        "[PageTypes]\r\nLicense\r\nComponents\r\nPatching\r\nFinish\r\n";
    entries["license.txt"] =
        "[text]\r\nType=TRichEdit\r\nfile=<%LICENSE%>\r\n"
        "[license_accept]\r\nType=TRadioButton\r\ngroup=1\r\n"
        "[license_decline]\r\nType=TRadioButton\r\ngroup=1\r\nchecked=true\r\n";
    entries["parts.txt"] =
        "[components_list]\r\nType=TBevel\r\nleft=30\r\ntop=100\r\nwidth=400\r\n"
        "[serial_edit]\r\nType=TEdit\r\ntext=ABC-123\r\nvar=Serial\r\n";
    entries["work.txt"] = "[patching_statuslabel]\r\nType=TLabel\r\n";
    entries["finish.txt"] = "[finish_run]\r\nType=TCheckBox\r\nchecked=true\r\n[Extra_Box]\r\nType=TCheckBox\r\n";
    entries["LICENSE"] = "All yours.";
    entries["LICENSE-German"] = "Alles Ihres.";
    AddLanguage(test::kGermanTable);
    LoadedSetup& setup = ctx.SetupToLoad();
    setup.Components = {{"base", "Base", ComponentState::Fixed, "", 100, 0, 1},
                        {"docs", "Docs <LANG1>", ComponentState::Off, "Manuals", 2048, 2, 3}};
    setup.Licenses = {{"", "LICENSE"}, {"German", "LICENSE-German"}};
    setup.LanguageNames = {"English", "German"};
    setup.RunAfterProgram = "$INSTDIR\\run.exe";
    ctx.Choices.ComponentChosen = {true, false};
    ctx.Choices.LicenseEntry = "LICENSE";
    ctx.Choices.InstallDir = "C:\\Demo";
  }
  Wizard& Up() {
    wizard = std::make_unique<Wizard>(ctx, &view);
    wizard->SetPagesUp(Fetch());
    return *wizard;
  }
  Control& Named(const char* name) { return *wizard->Pages().Area().FindByName(name); }
  bool NextEnabled() const { return wizard->Pages().Buttons().Next.Enabled; }

  test::RecordingView view;
  std::unique_ptr<Wizard> wizard;
};

TEST(WizardChoices, NextWaitsForTheLicenceInTheLanguageInUse) {
  ChoicePages f;
  Wizard& w = f.Up();
  Control& text = *w.Pages().Page(0).Controls()[0];
  EXPECT_EQ(text.Caption, u"All yours.");
  EXPECT_FALSE(f.NextEnabled());
  w.ToggleClicked(f.Named("license_accept"), true);
  EXPECT_TRUE(f.NextEnabled());
  EXPECT_FALSE(f.Named("license_decline").Checked);
  w.ToggleClicked(f.Named("license_decline"), true);
  EXPECT_FALSE(f.NextEnabled());
  w.ChooseLanguage(1);
  EXPECT_EQ(text.Caption, u"Alles Ihres.");
  EXPECT_FALSE(f.NextEnabled());  // showing the page again does not accept it
}

TEST(WizardChoices, ComponentBoxesFollowTheChoicesAndTheClicks) {
  ChoicePages f;
  Wizard& w = f.Up();
  ASSERT_EQ(w.ComponentBoxes().size(), 2u);
  const Control& base = *w.ComponentBoxes()[0];
  Control& docs = *w.ComponentBoxes()[1];
  EXPECT_EQ(base.Caption, u"Base (100.00 Bytes)");
  EXPECT_EQ(docs.Caption, u"Docs Welcome to Demo Game (2.00 KB)");
  EXPECT_TRUE(base.Checked);
  EXPECT_FALSE(base.Enabled);  // fixed
  EXPECT_FALSE(docs.Checked);
  EXPECT_EQ(base.Left, 30);
  EXPECT_EQ(base.Top, 100);
  EXPECT_GT(docs.Top, base.Top);
  EXPECT_FALSE(f.Named("components_list").Visible);
  w.ToggleClicked(docs, true);
  EXPECT_EQ(f.ctx.Choices.ComponentChosen, (std::vector<bool>{true, true}));
  w.ToggleClicked(docs, false);
  EXPECT_EQ(f.ctx.Choices.ComponentChosen, (std::vector<bool>{true, false}));
}

TEST(WizardChoices, AnUnattendedWalkAcceptsAndNotesTheBoxesButRunsNothingAfter) {
  ChoicePages f;
  Wizard& w = f.Up();
  bool ran = false;
  w.RunScript = [&] { ran = true; };
  // What the user typed into an edit with "var" is the variable's text; the folder stays.
  w.EditTyped(f.Named("serial_edit"), u"XYZ-789");
  EXPECT_EQ(w.WalkUnattended(), Wizard::WalkEnd::Finished);
  ASSERT_NE(f.ctx.Run.Variables.Find("SERIAL"), nullptr);
  EXPECT_EQ(*f.ctx.Run.Variables.Find("SERIAL"), "XYZ-789");
  EXPECT_EQ(f.ctx.Choices.InstallDir, "C:\\Demo");
  EXPECT_TRUE(ran);
  EXPECT_TRUE(w.LicenseAccepted());
  EXPECT_EQ(f.ctx.Choices.Checked,
            (std::map<std::string, bool>{
                {"extra_box", false}, {"finish_run", true}, {"license_accept", true}, {"license_decline", false}}));
  EXPECT_TRUE(w.ShouldRunAfter());  // a silent front end never asks
}

TEST(WizardChoices, TheRunBoxShowsOnlyWhenThereIsAProgramToRunAndTheRunSucceeded) {
  const struct {
    std::string program;
    bool fails;
    bool unchecked;
    bool runs;
  } cases[] = {{"$INSTDIR\\run.exe", false, false, true},
               {"", false, false, false},
               {"$INSTDIR\\run.exe", true, false, false},
               {"$INSTDIR\\run.exe", false, true, false}};
  for (const auto& c : cases) {
    ChoicePages f;
    f.ctx.SetupToLoad().RunAfterProgram = c.program;
    Wizard& w = f.Up();
    w.RunScript = [&] { f.ctx.Run.SetupAborted = c.fails; };
    if (c.unchecked) w.ToggleClicked(f.Named("finish_run"), false);
    w.WalkUnattended();
    EXPECT_EQ(f.Named("finish_run").Visible, c.program.size() > 0 && !c.fails) << c.program << c.fails;
    EXPECT_EQ(w.ShouldRunAfter(), c.runs) << c.program << c.fails << c.unchecked;
  }
}

}  // namespace
}  // namespace zq
