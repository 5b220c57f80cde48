// The run loop: jumps, aborts, the closing steps and the worker's hand-over.
#include "engine/setup_thread.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/system.h"
#include "platform/text.h"
#include "engine/commands/script_test_support.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

using test::LoadScript;

class RunScriptTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string table = test::LanguageTable(u"English", "0409;", {{9, u"Working"}, {23, u"Setup failed to install."}});
    ctx_.SetupToLoad().Languages.AddLanguage(table.data(), table.size());
    ctx_.SetupToLoad().Languages.Current = 0;
    ctx_.Services.StatusLabel = &status_;
    ctx_.Services.DetailLabel = &detail_;
    ctx_.Choices.InstallDir = dir_ / "Inst";
  }
  // The status texts of "message" lines show which lines ran.
  std::vector<std::u16string> Ran() { return status_.captions; }
  test::TempDir dir_;
  SetupContext ctx_;
  test::RecordingText status_, detail_;
};

TEST_F(RunScriptTest, GotoContinuesAfterItsTarget) {
  LoadScript(ctx_,
             {{"message", {"a"}}, {"goto", {"3"}}, {"message", {"skipped"}}, {":", {"here"}}, {"message", {"b"}}});
  RunScript(ctx_);
  EXPECT_EQ(Ran(), (std::vector<std::u16string>{u"a", u"b"}));
}

TEST_F(RunScriptTest, BadOrNegativeGotoTargetsDoNotJump) {
  LoadScript(ctx_, {{"goto", {"-1"}}, {"message", {"a"}}, {"goto", {"abc"}}, {"message", {"b"}}, {"goto", {}}});
  RunScript(ctx_);
  EXPECT_EQ(Ran(), (std::vector<std::u16string>{u"a", u"b"}));
}

TEST_F(RunScriptTest, TargetsBeyondTheLastLineEndTheRunButNotTheClosingSteps) {
  for (const char* target : {"99", "2147483647"}) {
    LoadScript(ctx_, {{"goto", {target}}, {"message", {"never"}}});
    RunScript(ctx_);
    EXPECT_TRUE(Ran().empty()) << target;
  }
  EXPECT_TRUE(platform::DirectoryExists(ctx_.Choices.InstallDir));
}

TEST_F(RunScriptTest, IfFileExistsTakesOneTargetOnly) {
  test::WriteAll(dir_ / "present.txt", "x");
  const std::string present = dir_ / "present.txt";
  const std::string missing = dir_ / "missing.txt";
  // exists -> A; missing -> B; exists with A = -1 does not try B; both -1 never jump.
  LoadScript(ctx_, {{"iffileexists", {present, "2", "-1"}},
                    {"message", {"skipped 1"}},
                    {":", {"a"}},
                    {"iffileexists", {missing, "-1", "5"}},
                    {"message", {"skipped 2"}},
                    {":", {"b"}},
                    {"iffileexists", {present, "-1", "8"}},
                    {"message", {"ran 1"}},
                    {"iffileexists", {missing, "-1", "-1"}},
                    {"message", {"ran 2"}}});
  RunScript(ctx_);
  EXPECT_EQ(Ran(), (std::vector<std::u16string>{u"ran 1", u"ran 2"}));
}

// A component's lines run only when it is chosen; "ifchecked" jumps on the boxes as the run
// found them.
TEST_F(RunScriptTest, ComponentsAndCheckedBoxesChooseTheLinesThatRun) {
  const struct {
    std::vector<bool> chosen;
    bool box;
    std::vector<std::u16string> ran;
  } cases[] = {
      {{true, false}, false, {u"a", u"tail", u"unchecked"}},
      {{false, true}, true, {u"b1", u"b2", u"tail", u"checked"}},
      {{true, true}, true, {u"a", u"b1", u"b2", u"tail", u"checked"}},
  };
  for (const auto& c : cases) {
    status_.captions.clear();
    LoadScript(ctx_, {{"component", {"a", "A", "on", "", "0", "1"}},
                      {"message", {"a"}},
                      {"component", {"b", "B", "off", "", "0", "4"}},
                      {"message", {"b1"}},
                      {"message", {"b2"}},
                      {"endcomponent", {}},
                      {"message", {"tail"}},
                      {"ifchecked", {"Extras_Box", "10"}},
                      {"message", {"unchecked"}},
                      {"goto", {"12"}},
                      {":", {"yes"}},
                      {"message", {"checked"}},
                      {":", {"end"}}});
    ctx_.SetupToLoad().Components = ComponentsOf(ctx_.Setup.CompLines);
    ctx_.Choices.ComponentChosen = c.chosen;
    ctx_.Choices.Checked = {{"extras_box", c.box}};
    RunScript(ctx_);
    EXPECT_EQ(Ran(), c.ran);
  }
}

TEST_F(RunScriptTest, FailureStopsTheRunShowsTextTwentyThreeAndUndoesIt) {
  ctx_.SetupToLoad().SetupInfo.HasUninstaller = 1;
  ctx_.SetupToLoad().SetupInfo.LogPrefix = "demo_";
  bool uninstaller_made = false;
  ctx_.Services.MakeUninstaller = [&](const RunScope&) { return uninstaller_made = true; };
  LoadScript(ctx_, {{"failure", {}}, {"message", {"never"}}});
  RunScript(ctx_);
  EXPECT_TRUE(Ran().empty());
  EXPECT_TRUE(ctx_.Run.SetupAborted);
  EXPECT_EQ(detail_.captions, std::vector<std::u16string>{u"Setup failed to install."});
  EXPECT_FALSE(uninstaller_made);
  EXPECT_FALSE(platform::DirectoryExists(ctx_.Choices.InstallDir));  // nothing of the run is left
}

TEST_F(RunScriptTest, EmptyAndOneLineTables) {
  LoadScript(ctx_, {});
  RunScript(ctx_);
  EXPECT_TRUE(platform::DirectoryExists(ctx_.Choices.InstallDir));
  LoadScript(ctx_, {{"message", {"only"}}});
  RunScript(ctx_);
  EXPECT_EQ(Ran(), std::vector<std::u16string>{u"only"});
}

TEST_F(RunScriptTest, MessageBoxJumpsToTheLineBeforeItsTarget) {
  test::ScriptedBoxes cancel(kIdCancel);
  ctx_.Services.Messages = &cancel;
  LoadScript(ctx_, {{"messagebox", {"Go on in $INSTDIR?", "Question", "-1", "3"}},
                    {"message", {"skipped"}},
                    {"message", {"skipped too"}},
                    {":", {"target"}},
                    {"message", {"after"}}});
  RunScript(ctx_);
  EXPECT_EQ(Ran(), std::vector<std::u16string>{u"after"});
  ASSERT_EQ(cancel.shown.size(), 1u);
  EXPECT_EQ(cancel.shown[0].caption, u"Question");
  EXPECT_EQ(cancel.shown[0].text, u"Go on in " + platform::Utf8ToWide(ctx_.Choices.InstallDir) + u"?");
  EXPECT_EQ(cancel.shown[0].flags, kMbOkCancel | kMbIconQuestion);

  test::ScriptedBoxes ok(kIdOk);
  ctx_.Services.Messages = &ok;
  status_.captions.clear();
  LoadScript(ctx_, {{"messagebox", {"?", "c", "2", "-1"}}, {"message", {"skipped"}}, {"message", {"ok"}}});
  RunScript(ctx_);
  EXPECT_EQ(Ran(), std::vector<std::u16string>{u"ok"});  // OK on target 2 continues at line 2
}

TEST_F(RunScriptTest, WorkerRunsOnRequestAndAStopEndsAnEndlessScript) {
  LoadScript(ctx_, {{":", {"loop"}}, {"goto", {"0"}}});
  TSetupThread worker(ctx_);
  // The window's side waits with a pump that stops the worker once it has seen the run go on.
  int pumped = 0;
  worker.RunAndWait([&] {
    platform::SleepMs(10);
    if (++pumped == 5) worker.Stop();
  });
  EXPECT_GE(pumped, 5);  // still looping until stopped
  worker.Join();
  EXPECT_FALSE(worker.Running());
  EXPECT_FALSE(platform::DirectoryExists(ctx_.Choices.InstallDir));  // a stopped run is undone
}

}  // namespace
}  // namespace zq
