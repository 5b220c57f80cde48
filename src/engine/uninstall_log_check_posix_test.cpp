// Host only (its shortcut and Documents file lie in the test prefix's profile, which a Wine
// prefix would keep): how far the uninstaller believes its log, by the log's keyed check and
// the product's entry.
#include "engine/uninstall_log_check.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/logged_files.h"
#include "engine/setup_context.h"
#include "engine/uninstaller.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

const std::string kProduct = "zqsetup-test LogCheck";
const std::string kValueKey = "SOFTWARE\\zqsetup-test\\LogCheck";

class UninstallLogCheckTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyLocalMachine);
    reg.DeleteKey(std::string(kUninstallKeyBase) + kProduct);
    reg.DeleteKey(kValueKey);
    reg.DeleteKey("SOFTWARE\\zqsetup-test");
  }
  static bool EntryExists() {
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyLocalMachine);
    return reg.KeyExists(std::string(kUninstallKeyBase) + kProduct);
  }
  static bool ValueExists() {
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyLocalMachine);
    const bool there = reg.OpenKey(kValueKey, false) && reg.ValueExists("Path");
    reg.CloseKey();
    return there;
  }
  static void Prepare(SetupContext& ctx, const std::string& install, std::vector<std::string>* said) {
    ctx.Choices.InstallDir = install;
    ctx.SetupToLoad().SetupInfo.ShortName = kProduct;
    ctx.SetupToLoad().SetupInfo.LogPrefix = "demo_";
    ctx.SetupToLoad().SetupInfo.Mode = SetupMode::Uninstaller;
    ctx.Services.RunLog = [said](const std::string& line) { said->push_back(line); };
  }
};

TEST_F(UninstallLogCheckTest, OnlyALogWhoseCheckHoldsIsBelievedOutsideTheInstallationFolder) {
  enum class Damage { None, EditedKeepingItsCheck, EditedWithoutItsCheck, OlderLog };
  const struct {
    const char* what;
    Damage damage;
    LogCheck check;
    bool shortcut_removed;  // the installation's own desktop shortcut, outside the folder
    bool finished;          // registry value, entry and log removed; the run ends finished
  } cases[] = {
      {"signed, as written", Damage::None, LogCheck::Verified, true, true},
      {"edited, its old check kept", Damage::EditedKeepingItsCheck, LogCheck::Failed, false, false},
      {"edited, its check stripped, the entry says signed", Damage::EditedWithoutItsCheck, LogCheck::Failed, false,
       false},
      {"an older engine's log: no check, the entry does not say signed", Damage::OlderLog, LogCheck::Absent, true,
       true},
  };
  const std::string desktop = platform::SpecialFolderPath(platform::kCsidlDesktop).value();
  const std::string documents = platform::SpecialFolderPath(platform::kCsidlProfile).value() + "\\Documents";
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    const std::string install = dir / "Demo";
    const std::string app = install + "\\sub\\app.exe";
    const std::string shortcut = desktop + "\\LogCheck " + std::to_string(n) + ".lnk";
    const std::string keep = dir / "Other\\keep.txt";  // another program's
    const std::string notes = documents + "\\notes " + std::to_string(n++) + ".txt";
    TUninstallList scratch;  // only for the folders it makes
    for (const std::string& folder : {install + "\\sub", dir / "Other", desktop, documents}) {
      ForceDirectoriesLogged(scratch, folder);
    }
    for (const std::string& file : {app, shortcut, keep, notes}) test::WriteAll(file, "x");
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyLocalMachine);
    ASSERT_TRUE(reg.OpenKey(kValueKey, true));
    reg.WriteString("Path", install);
    reg.CloseKey();

    // The run that installed: its log, signed unless it is an older engine's, and its entry.
    std::vector<std::string> said;
    SetupContext installed;
    Prepare(installed, install, &said);
    TUninstallList& log = installed.Run.UninstallList;
    log.Files = {app, shortcut};
    log.Dirs = {install, install + "\\sub"};
    log.RegValues = {TUninstallList::RegValueLine("HKLM", kValueKey, "Path", install)};
    ASSERT_TRUE(SaveUninstallLog(installed, install, "demo_", c.damage != Damage::OlderLog));
    ASSERT_EQ(installed.Run.UninstallLogCheck == LogCheck::Verified, c.damage != Damage::OlderLog);
    UninstallEntry entry;
    entry.Name = kProduct;
    entry.LogSigned = installed.Run.UninstallLogCheck == LogCheck::Verified;
    RegisterUninstallEntry(reg, platform::kHkeyLocalMachine, kProduct, entry);

    // Someone who may write the folder makes the log name another program's file and one of
    // the user's documents.
    const std::string path = TUninstallList::LogPath(install, "demo_");
    const std::string written = test::ReadAll(path);
    TUninstallList crafted = log;
    crafted.Files.push_back(keep);
    crafted.Files.push_back(notes);
    const auto lists = crafted.Serialize();
    const std::string trailer = written.substr(log.Serialize().size());
    switch (c.damage) {
      case Damage::None: break;
      case Damage::EditedKeepingItsCheck:
        test::WriteAll(path, std::string(lists.begin(), lists.end()) + trailer);
        break;
      case Damage::EditedWithoutItsCheck:
      case Damage::OlderLog: test::WriteAll(path, std::string(lists.begin(), lists.end())); break;
    }

    SetupContext ctx;
    Prepare(ctx, install, &said);
    said.clear();
    std::string problem;
    ASSERT_TRUE(LoadUninstallLog(ctx, &problem)) << problem;
    EXPECT_EQ(ctx.Run.UninstallLogCheck, c.check);
    Uninstall(ctx);

    // Inside the folder the log is always believed; outside only as far as its check allows.
    EXPECT_FALSE(platform::FileExists(app));
    EXPECT_FALSE(platform::DirectoryExists(install + "\\sub"));
    EXPECT_EQ(!platform::FileExists(shortcut), c.shortcut_removed);
    EXPECT_TRUE(platform::FileExists(keep));
    EXPECT_TRUE(platform::FileExists(notes));
    EXPECT_EQ(ValueExists(), !c.finished);
    EXPECT_EQ(EntryExists(), !c.finished);
    EXPECT_EQ(platform::FileExists(path), !c.finished);
    EXPECT_EQ(ctx.Run.SetupAborted.load(), !c.finished);
    const auto has = [&](const std::string& line) { return std::find(said.begin(), said.end(), line) != said.end(); };
    if (c.damage != Damage::None) {
      const std::string why = c.check == LogCheck::Failed ? "the uninstall log fails its check"
                                                          : "the uninstall log is not signed";
      EXPECT_TRUE(has("left " + keep + ": " + why));
      EXPECT_TRUE(has("left " + notes + ": " + why));
    }
    if (!c.finished) {
      EXPECT_TRUE(has("left " + shortcut + ": the uninstall log fails its check"));
      EXPECT_TRUE(has("left registry value " + log.RegValues[0] + ": the uninstall log fails its check"));
    }
    TearDown();
  }
}

}  // namespace
}  // namespace zq
