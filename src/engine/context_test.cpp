// Path macros and the shared context's placeholders.
#include <gtest/gtest.h>

#include "base/path_text.h"
#include "engine/macros.h"
#include "engine/setup_context.h"

namespace zq {
namespace {

class MacroTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx_.Choices.InstallDir = "C:\\Program Files\\Demo";
    ctx_.SetupToLoad().ProgramFilesDir = "C:\\Program Files\\";
    ctx_.SetupToLoad().StartMenuDir = "C:\\Menu\\Programs\\";
    ctx_.SetupToLoad().CDDrive = "D:\\";
  }
  SetupContext ctx_;
};

TEST_F(MacroTest, ExpandsEveryMacroInAnyCaseAndCollapsesBackslashRuns) {
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, "$instdir\\a.txt"), "C:\\Program Files\\Demo\\a.txt");
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, "$INSTALLDIR\\a"), "C:\\Program Files\\Demo\\a");
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, "$PROGRAMFILES\\Other"), "C:\\Program Files\\Other");
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, "$SMPROGRAMS\\Demo\\Run.lnk"), "C:\\Menu\\Programs\\Demo\\Run.lnk");
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, "$CDDRIVE\\setup\\data"), "D:\\setup\\data");
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, "a\\\\\\\\b"), "a\\b");
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, "no macros"), "no macros");
}

// A folder typed with a macro in it ("/D=C:\a$instdir") is put in as written: nothing grows,
// however often it is expanded, and a long text costs one pass.
TEST_F(MacroTest, ValuesPutInAreNotExpandedAgain) {
  const struct {
    const char* install_dir;
    const char* text;
    const char* expanded;
  } cases[] = {
      {"C:\\a$instdir", "$INSTDIR\\x.dat", "C:\\a$instdir\\x.dat"},
      {"C:\\a$INSTALLDIR$instdir", "$installdir", "C:\\a$INSTALLDIR$instdir"},
      {"C:\\$PROGRAMFILES\\$SMPROGRAMS$CDDRIVE", "$INSTDIR\\$CDDRIVE", "C:\\$PROGRAMFILES\\$SMPROGRAMS$CDDRIVE\\D:\\"},
      {"C:\\Demo\\\\", "$INSTDIR\\a", "C:\\Demo\\a"},
  };
  for (const auto& c : cases) {
    ctx_.Choices.InstallDir = c.install_dir;
    EXPECT_EQ(ExpandMacrosAnsi(ctx_, c.text), c.expanded) << c.install_dir;
  }
  // As the wizard settles the folder: expanded once; a path built on it is that folder as it is.
  ctx_.Choices.InstallDir = "C:\\a$instdir";
  ctx_.Choices.InstallDir = ExpandMacrosAnsi(ctx_, ctx_.Choices.InstallDir);
  EXPECT_EQ(ctx_.Choices.InstallDir, "C:\\aC:\\a$instdir");
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, "$INSTDIR\\x"), "C:\\aC:\\a$instdir\\x");
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "$INSTDIR\\";
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, many).size(), 20000 * (ctx_.Choices.InstallDir.size() + 1));
}

TEST_F(MacroTest, CollapseTakesTheInstallationDirectoryFirst) {
  EXPECT_EQ(CollapseMacrosAnsi(ctx_, "C:\\Program Files\\Demo\\bin\\x.exe"), "$INSTDIR\\bin\\x.exe");
  EXPECT_EQ(CollapseMacrosAnsi(ctx_, "c:\\program files\\demo\\x.exe"), "$INSTDIR\\x.exe");
  EXPECT_EQ(CollapseMacrosAnsi(ctx_, "C:\\Program Files\\Other\\y"), "$PROGRAMFILESOther\\y");
  EXPECT_EQ(CollapseMacrosAnsi(ctx_, "C:\\Menu\\Programs\\Demo.lnk"), "$SMPROGRAMSDemo.lnk");
  // Recorded paths expand back to where they were.
  for (const char* path : {"C:\\Program Files\\Demo\\bin\\x.exe", "C:\\Menu\\Programs\\Demo.lnk"}) {
    EXPECT_EQ(ExpandMacrosAnsi(ctx_, CollapseMacrosAnsi(ctx_, path)), path);
  }
  ctx_.Choices.InstallDir.clear();
  EXPECT_EQ(CollapseMacrosAnsi(ctx_, "D:\\x"), "D:\\x");
}

// The user's folders are recorded with the backslash after the name, the Start menu inside the
// roaming folder keeps its own macro, and a folder only named alike stays as it is.
TEST_F(MacroTest, DesktopAndAppDataAreRecordedAndExpandedBack) {
  ctx_.SetupToLoad().DesktopDir = "C:\\users\\me\\Desktop\\";
  ctx_.SetupToLoad().AppDataDir = "C:\\users\\me\\AppData\\Roaming\\";
  ctx_.SetupToLoad().StartMenuDir = ctx_.SetupToLoad().AppDataDir + "Microsoft\\Windows\\Start Menu\\Programs\\";
  const struct {
    const char* path;
    const char* recorded;
  } cases[] = {
      {"C:\\users\\me\\Desktop\\Demo.lnk", "$DESKTOP\\Demo.lnk"},
      {"c:\\Users\\Me\\desktop\\Demo.lnk", "$DESKTOP\\Demo.lnk"},
      {"C:\\users\\me\\AppData\\Roaming\\Demo\\demo.ini", "$APPDATA\\Demo\\demo.ini"},
      {"C:\\users\\me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Demo\\Run.lnk",
       "$SMPROGRAMSDemo\\Run.lnk"},
      {"C:\\users\\me\\Desktop2\\Demo.lnk", "C:\\users\\me\\Desktop2\\Demo.lnk"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CollapseMacrosAnsi(ctx_, c.path), c.recorded) << c.path;
    EXPECT_TRUE(SameTextAscii(ExpandMacrosAnsi(ctx_, c.recorded), c.path)) << c.path;
  }
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, "$desktop\\Demo.lnk"), "C:\\users\\me\\Desktop\\Demo.lnk");
  // A folder the system could not name ("\\" alone) records nothing under its macro.
  ctx_.SetupToLoad().DesktopDir = "\\";
  EXPECT_EQ(CollapseMacrosAnsi(ctx_, "C:\\Other\\x.lnk"), "C:\\Other\\x.lnk");
}

TEST(SetupContextTest, PlaceholdersFollowTheirFields) {
  SetupContext ctx;
  ctx.SetupToLoad().SetupInfo.SetupName = "Demo 1.0";
  ctx.Choices.SpaceAvailableText = "3.00 GB";
  EXPECT_EQ(ctx.LanguageStrings.ExpandVariables(u"<%setuptitle%> needs <%SPACEREQ%> of <%SPACEAVA%>"),
            u"Demo 1.0 needs  of 3.00 GB");
  ctx.Choices.SpaceRequiredText = "1.00 MB";
  EXPECT_EQ(ctx.LanguageStrings.ExpandVariables(u"<%SPACEREQ%>"), u"1.00 MB");
  EXPECT_EQ(ctx.Services.ShowMessageBox(u"q", u"c", kMbYesNo), kIdYes);
  EXPECT_EQ(ctx.Services.ShowMessageBox(u"q", u"c", kMbRetryCancel), kIdCancel);
}

}  // namespace
}  // namespace zq
