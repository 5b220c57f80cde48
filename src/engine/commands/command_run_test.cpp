// The run operation of each command, on the real file system and registry of the platform.
#include <gtest/gtest.h>

#include "archives/cipher.h"
#include "base/error.h"
#include "container/pak.h"
#include "engine/logged_files.h"
#include "base/scrambler.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell_link.h"
#include "platform/text.h"
#include "engine/commands/script_test_support.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include "platform/host_prefix.h"
#endif

namespace zq {
namespace {

using test::LoadScript;
using test::RunLine;

const std::string kKey = "Software\\zqsetup-test\\commands";

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string table = test::LanguageTable(
        u"English", "0409;", {{9, u"Nine"}, {17, u"Copying File <%FILENAME%>"}, {18, u"Extracting <%FILENAME%>"}});
    ctx_.SetupToLoad().Languages.AddLanguage(table.data(), table.size());
    ctx_.SetupToLoad().Languages.Current = 0;
    ctx_.Services.StatusLabel = &status_;
    inst_ = dir_ / "Inst";
    ctx_.Choices.InstallDir = inst_;
    CleanRegistry();
  }
  void TearDown() override { CleanRegistry(); }
  void CleanRegistry() {
    for (auto root : {platform::kHkeyCurrentUser, platform::kHkeyClassesRoot}) {
      platform::Registry reg;
      reg.SetRoot(root);
      reg.DeleteKey(kKey);
      reg.DeleteKey("zqtestproto");
    }
  }
  std::optional<std::string> Read(std::uint32_t root, const std::string& key, const std::string& name) {
    platform::Registry reg;
    reg.SetRoot(root);
    if (!reg.OpenKey(key, false)) return std::nullopt;
    return reg.ReadString(name);
  }
  void OpenPayload(const std::vector<test::SampleEntry>& entries) {
    std::string path = dir_ / "setup.exe";
    ASSERT_TRUE(test::WritePackage(path, test::FakeProgram(64), entries));
    ctx_.SetupToLoad().Pak = std::make_unique<TPak>(path);
  }
  test::TempDir dir_;
  SetupContext ctx_;
  test::RecordingText status_;
  std::string inst_;
};

TEST_F(CommandTest, FileExtractsItsGroupIntoTheInstallationFolderOrASubfolder) {
  OpenPayload({{"a.txt", 1, "one"}, {"b.txt", 2, "two"}, {"c.txt", 3, "three"}});
  test::ScriptedBoxes boxes(kIdOk);
  ctx_.Services.Messages = &boxes;
  LoadScript(ctx_, {{"file", {"src", "1"}}, {"file", {"src", "data\\", "2"}}, {"file", {"src", "x", "y", "3"}}});
  RunLine(ctx_, 0);
  RunLine(ctx_, 1);
  RunLine(ctx_, 2);
  EXPECT_EQ(test::ReadAll(inst_ + "\\a.txt"), "one");
  EXPECT_EQ(test::ReadAll(inst_ + "\\data\\b.txt"), "two");
  EXPECT_FALSE(platform::FileExists(inst_ + "\\c.txt"));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, u"TFileCommand.SFXProcess - Param Count Invalid!!!");
  EXPECT_EQ(boxes.shown[0].caption, u"Error");
  EXPECT_EQ(ctx_.Run.UninstallList.Files, (std::vector<std::string>{"$INSTDIR\\a.txt", "$INSTDIR\\data\\b.txt"}));
}

TEST_F(CommandTest, ConditionalFileFollowsTheRegistryValueAndMode) {
  OpenPayload({{"match.txt", 1, "m"}, {"differs.txt", 2, "d"}, {"nokey.txt", 3, "n"}, {"strict.txt", 4, "s"}});
  {
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyCurrentUser);
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    reg.WriteString("Edition", "Gold");
  }
  const std::string missing_key = kKey + "\\Absent";
  LoadScript(ctx_, {{"file", {"s", "", "HKCU", kKey, "Edition", "Gold", "1", "1"}},
                    {"file", {"s", "", "hkcu", kKey, "Edition", "gold", "F", "2"}},
                    {"file", {"s", "", "HKCU", missing_key, "Edition", "Gold", "false", "3"}},
                    {"file", {"s", "", "HKCU", kKey, "Edition", "gold", "1", "4"}}});
  for (std::uint32_t i = 0; i < 4; ++i) RunLine(ctx_, i);
  EXPECT_TRUE(platform::FileExists(inst_ + "\\match.txt"));
  EXPECT_TRUE(platform::FileExists(inst_ + "\\differs.txt"));  // case-sensitive compare, inverted
  EXPECT_TRUE(platform::FileExists(inst_ + "\\nokey.txt"));
  EXPECT_FALSE(platform::FileExists(inst_ + "\\strict.txt"));
  platform::Registry reg;
  reg.SetRoot(platform::kHkeyCurrentUser);
  EXPECT_TRUE(reg.KeyExists(missing_key));  // the check creates the key it looks at
}

TEST_F(CommandTest, CopyRenameDeleteAndCreateDirectory) {
  test::WriteAll(dir_ / "src.txt", "payload");
  test::WriteAll(dir_ / "old.txt", "old");
  ASSERT_TRUE(platform::CreateDir(inst_));
  test::WriteAll(inst_ + "\\target.txt", "to be replaced");
  LoadScript(ctx_, {{"copyfile", {dir_ / "src.txt", "$INSTDIR\\target.txt"}},
                    {"copyfile", {dir_ / "nothing.txt", "$INSTDIR\\new\\never.txt"}},
                    {"rename", {dir_ / "old.txt", "$INSTDIR\\renamed.txt"}},
                    {"delete", {"$INSTDIR\\target.txt"}},
                    {"createdirectory", {"$INSTDIR\\a\\b"}},
                    {"createdirectory", {"$INSTDIR\\a\\b"}}});
  RunLine(ctx_, 0);
  EXPECT_EQ(test::ReadAll(inst_ + "\\target.txt"), "payload");
  EXPECT_EQ(status_.captions.back(), u"Copying File src.txt");
  RunLine(ctx_, 1);
  // The destination is recorded even when the source is missing.
  EXPECT_EQ(ctx_.Run.UninstallList.Files,
            (std::vector<std::string>{"$INSTDIR\\target.txt", "$INSTDIR\\new\\never.txt"}));
  RunLine(ctx_, 2);
  EXPECT_EQ(test::ReadAll(inst_ + "\\renamed.txt"), "old");
  EXPECT_EQ(ctx_.Run.Lines.Lines[2].Args[1], inst_ + "\\renamed.txt");        // stored back expanded
  EXPECT_EQ(ctx_.Setup.CompLines.Lines[2].Args[1], "$INSTDIR\\renamed.txt");  // in the run's copy only
  RunLine(ctx_, 3);
  EXPECT_FALSE(platform::FileExists(inst_ + "\\target.txt"));
  ctx_.Run.UninstallList.Dirs.clear();
  RunLine(ctx_, 4);
  RunLine(ctx_, 5);
  EXPECT_EQ(ctx_.Run.UninstallList.Dirs,
            (std::vector<std::string>{inst_ + "\\a\\", inst_ + "\\a\\b", inst_ + "\\a\\b", inst_ + "\\a\\b"}));
}

TEST_F(CommandTest, RenamingAnInstalledFileRecordsTheNewName) {
  OpenPayload({{"app.cfg.new", 1, "cfg"}});
  test::WriteAll(dir_ / "user.txt", "mine");
  LoadScript(ctx_, {{"file", {"src", "1"}},
                    {"rename", {"$INSTDIR\\app.cfg.new", "$INSTDIR\\app.cfg"}},
                    {"rename", {dir_ / "user.txt", "$INSTDIR\\user.txt"}}});
  for (std::uint32_t i = 0; i < 3; ++i) RunLine(ctx_, i);
  EXPECT_EQ(test::ReadAll(inst_ + "\\app.cfg"), "cfg");
  // The installed file is recorded under the name it has now; a file the run did not create
  // stays unrecorded under its new name too.
  EXPECT_EQ(ctx_.Run.UninstallList.Files, (std::vector<std::string>{"$INSTDIR\\app.cfg"}));
}

TEST_F(CommandTest, RmdirRemovesADeepTreeAndIgnoresAMissingOne) {
  const std::string top = inst_ + "\\tree";
  for (const char* f : {"\\x.txt", "\\l1\\y.txt", "\\l1\\l2\\z.txt", "\\l1\\l2\\l3\\w.txt"}) {
    SetupContext scratch;
    ASSERT_TRUE(WriteFileLogged(scratch.Run.UninstallList, top + f, "x", 1));
  }
  LoadScript(ctx_, {{"rmdir", {"$INSTDIR\\tree", "1"}}, {"rmdir", {"$INSTDIR\\missing", "1"}}});
  RunLine(ctx_, 0);
  RunLine(ctx_, 1);
  EXPECT_FALSE(platform::DirectoryExists(top));
  EXPECT_TRUE(platform::DirectoryExists(inst_));
}

TEST_F(CommandTest, ExecuteWaitsForTheProgramAndPassesOverOneThatCannotStart) {
#ifdef _WIN32
  const std::string program = "cmd.exe";
  const std::string params = "/c echo done> \"" + dir_ / "ran.txt" + "\"";
#else
  const std::string script = dir_ / "tool.sh";
  test::WriteAll(script, "#!/bin/sh\nsleep 0.2\necho done > \"$1\"\n");
  const std::string program = "Z:\\bin\\sh";
  const std::string params =
      "\"" + *platform::HostPath(script) + "\" \"" + *platform::HostPath(dir_ / "ran.txt") + "\"";
#endif
  LoadScript(ctx_, {{"execute", {program, params}}, {"execute", {dir_ / "no-such-program.exe"}}});
  RunLine(ctx_, 0);
  EXPECT_TRUE(platform::FileExists(dir_ / "ran.txt"));  // it had ended before the line returned
  RunLine(ctx_, 1);
}

// Each case runs its lines, then its condition, whose label is the line after it: the condition
// jumps there exactly when it holds, and asking the registry creates nothing.
TEST_F(CommandTest, ConditionsOnTheLastExitCodeAndTheRegistryJumpWhenTheyHold) {
#ifdef _WIN32
  auto exits = [](const std::string& code) { return test::ScriptLine{"execute", {"cmd.exe", "/c exit " + code}}; };
#else
  auto exits = [](const std::string& code) {
    return test::ScriptLine{"execute", {"Z:\\bin\\sh", "-c \"exit " + code + "\""}};
  };
#endif
  const test::ScriptLine cannot_start{"execute", {dir_ / "no-such-program.exe"}};
  {
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyCurrentUser);
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    ASSERT_TRUE(reg.WriteString("Present", "x"));
  }
  using Condition = std::vector<std::string>;  // keyword, then its arguments before the label
  const struct {
    std::vector<test::ScriptLine> before;
    Condition condition;
    bool jumps;
  } cases[] = {
      {{exits("3")}, {"ifexitcode", "3"}, true},
      {{exits("3")}, {"ifexitcode", "0"}, false},
      {{exits("0")}, {"ifexitcode", "0x0"}, true},
      {{exits("3"), exits("0")}, {"ifexitcode", "3"}, false},  // the last program's code counts
      {{exits("3"), cannot_start}, {"ifexitcode", "3"}, false},
      {{}, {"ifexitcode", "0"}, false},
      {{}, {"ifregexists", "HKCU", kKey}, true},
      {{}, {"ifregexists", "hkcu", kKey + "\\"}, true},
      {{}, {"ifregexists", "HKCU", kKey + "\\missing"}, false},
      {{}, {"ifregexists", "HKLM", kKey}, false},
      {{}, {"ifregexists", "HKCU", kKey, "present"}, true},
      {{}, {"ifregexists", "HKCU", kKey, "Absent"}, false},
      {{}, {"ifregexists", "HKCU", kKey + "\\missing", "Present"}, false},
      {{}, {"ifregexists", "HKCU", kKey, ""}, false},  // the key's default value, never written
  };
  for (const auto& c : cases) {
    std::vector<test::ScriptLine> lines = c.before;
    const std::string label = std::to_string(lines.size() + 1);
    test::ScriptLine condition{c.condition[0], {c.condition.begin() + 1, c.condition.end()}};
    condition.args.push_back(label);
    lines.push_back(condition);
    lines.push_back({":", {"yes"}});
    SCOPED_TRACE(condition.keyword + " " + condition.args[0] + " after " + std::to_string(c.before.size()) + " lines");
    LoadScript(ctx_, lines);
    for (std::uint32_t i = 0; i + 1 < lines.size(); ++i) RunLine(ctx_, i);
    EXPECT_EQ(ctx_.Run.CurrentLine, c.jumps ? std::stoi(label) : -1);
    ctx_.Run.LastExitCode.reset();
  }
  platform::Registry reg;
  reg.SetRoot(platform::kHkeyCurrentUser);
  EXPECT_FALSE(reg.KeyExists(kKey + "\\missing"));
  reg.SetRoot(platform::kHkeyLocalMachine);
  EXPECT_FALSE(reg.KeyExists(kKey));
}

TEST_F(CommandTest, WriteRegStrWritesExpandedAndRecordsAsWritten) {
  LoadScript(ctx_, {{"writeregstr", {"HKCU", kKey, "Path", "$INSTDIR\\game.exe"}},
                    {"writeregstr", {"HKCU", kKey, "Path", "$INSTDIR\\game.exe"}}});
  RunLine(ctx_, 0);
  RunLine(ctx_, 1);
  EXPECT_EQ(Read(platform::kHkeyCurrentUser, kKey, "Path"), inst_ + "\\game.exe");
  EXPECT_EQ(ctx_.Run.UninstallList.RegValues,
            std::vector<std::string>{"\"HKCU\" \"" + kKey + "\" \"Path\" \"$INSTDIR\\game.exe\""});
}

TEST_F(CommandTest, UrlProtocolHasItsFourValuesAndFourLines) {
  LoadScript(ctx_, {{"writeregstr_url", {"zqtestproto", "$INSTDIR\\app.ico", "$INSTDIR\\app.exe", "%1", "-x"}},
                    {"writeregstr_url", {"", "i", "p"}}});
  RunLine(ctx_, 0);
  RunLine(ctx_, 1);
  const auto hkcr = platform::kHkeyClassesRoot;
  EXPECT_EQ(Read(hkcr, "zqtestproto", ""), "URL:zqtestproto Protocol");
  EXPECT_EQ(Read(hkcr, "zqtestproto", "URL Protocol"), "");
  EXPECT_EQ(Read(hkcr, "zqtestproto\\DefaultIcon", ""), inst_ + "\\app.ico");
  EXPECT_EQ(Read(hkcr, "zqtestproto\\shell\\open\\command", ""), "\"" + inst_ + "\\app.exe\" \"%1\" \"-x\"");
  EXPECT_EQ(
      ctx_.Run.UninstallList.RegValues,
      (std::vector<std::string>{"\"HKCR\" \"zqtestproto\" \"\" \"\"", "\"HKCR\" \"zqtestproto\" \"URL Protocol\" \"\"",
                                "\"HKCR\" \"zqtestproto\\DefaultIcon\\\" \"\" \"\"",
                                "\"HKCR\" \"zqtestproto\\shell\\open\\command\\\" \"\" \"\""}));
}

TEST_F(CommandTest, ShortcutsCarryTheirFieldsAndAreRecorded) {
  // As the worker has it for a run: COM is entered by the first shortcut.
  platform::ComApartment com(platform::ComApartment::When::FirstUse);
  ctx_.SetupToLoad().StartMenuDir = dir_ / "Menu\\";
  LoadScript(ctx_,
             {{"createshortcut", {"$SMPROGRAMS\\Demo\\Play.lnk", "$INSTDIR\\bin\\game.exe", "-fast"}},
              {"createshortcut", {"$SMPROGRAMS\\Demo\\Icon.lnk", "$INSTDIR\\game.exe", "", "$INSTDIR\\game.ico"}},
              {"createshortcut", {"$SMPROGRAMS\\Demo\\Same.lnk", "$INSTDIR\\game.exe", "", "$INSTDIR\\game.exe"}}});
  for (std::uint32_t i = 0; i < 3; ++i) RunLine(ctx_, i);
  auto play = platform::ReadShellLink(dir_ / "Menu\\Demo\\Play.lnk");
  ASSERT_TRUE(play.has_value());
  EXPECT_EQ(play->target, inst_ + "\\bin\\game.exe");
  EXPECT_EQ(play->arguments, "-fast");
  EXPECT_EQ(play->working_directory, inst_ + "\\bin");
  EXPECT_EQ(play->show_command, 1);
  auto icon = platform::ReadShellLink(dir_ / "Menu\\Demo\\Icon.lnk");
  ASSERT_TRUE(icon.has_value());
  EXPECT_EQ(icon->icon_file, inst_ + "\\game.ico");
  auto same = platform::ReadShellLink(dir_ / "Menu\\Demo\\Same.lnk");
  ASSERT_TRUE(same.has_value());
  EXPECT_TRUE(same->icon_file.empty() || same->icon_file == inst_ + "\\game.exe");
  EXPECT_EQ(ctx_.Run.UninstallList.Files.size(), 3u);
  EXPECT_EQ(ctx_.Run.UninstallList.Dirs, (std::vector<std::string>{dir_ / "Menu\\", dir_ / "Menu\\Demo"}));
}

TEST_F(CommandTest, MessageExpandsLanguageTags) {
  LoadScript(ctx_, {{"message", {"<LANG9> and $INSTDIR"}}});
  RunLine(ctx_, 0);
  EXPECT_EQ(status_.captions.back(), u"Nine and $INSTDIR");
}

TEST_F(CommandTest, UninstallLogSaveAndLoad) {
  ctx_.Run.UninstallList.AddFile("$INSTDIR\\kept.txt");
  LoadScript(ctx_, {{"uninstalllogsave", {"$INSTDIR", "copy_"}},
                    {"uninstalllogload", {"$INSTDIR\\nowhere"}},
                    {"uninstalllogload", {"$INSTDIR", "copy_"}}});
  ASSERT_TRUE(platform::CreateDir(inst_));
  RunLine(ctx_, 0);
  EXPECT_TRUE(platform::FileExists(inst_ + "\\copy_install.log"));
  ctx_.Run.UninstallList.AddFile("$INSTDIR\\later.txt");
  RunLine(ctx_, 1);
  EXPECT_EQ(ctx_.Run.UninstallList.Files.size(), 2u);  // no log there: unchanged
  RunLine(ctx_, 2);
  EXPECT_EQ(ctx_.Run.UninstallList.Files, std::vector<std::string>{"$INSTDIR\\kept.txt"});
}

// The prefix word is read as "prefix" reads it, with or without its "_".
TEST_F(CommandTest, ALogLoadsUnderThePrefixWordWithOrWithoutItsUnderscore) {
  const struct {
    std::string on_disk;  // the log's file name
    std::string word;     // the load's prefix argument
    bool loads;
  } cases[] = {
      {"widget_install.log", "widget", true},
      {"widget_install.log", "widget_", true},
      {"widget__install.log", "widget_", true},  // "prefix widget_"
      {"widgetinstall.log", "widget", true},     // saved under the word as it stood
      {"install.log", "", true},
      {"widget_install.log", "", false},
      {"widget_install.log", "widge", false},
      {"install.log", "widget", false},
  };
  ASSERT_TRUE(platform::CreateDir(inst_));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.on_disk + " loaded as \"" + c.word + "\"");
    TUninstallList saved;
    saved.AddFile("$INSTDIR\\" + c.on_disk);
    const std::string prefix = c.on_disk.substr(0, c.on_disk.size() - std::string("install.log").size());
    ASSERT_TRUE(saved.Save(inst_, prefix));
    ctx_.Run.UninstallList.Clear();
    ctx_.Run.UninstallList.AddFile("$INSTDIR\\before.txt");
    LoadScript(ctx_, {{"uninstalllogload", {"$INSTDIR", c.word}}});
    RunLine(ctx_, 0);
    EXPECT_EQ(ctx_.Run.UninstallList.Files, c.loads ? saved.Files : std::vector<std::string>{"$INSTDIR\\before.txt"});
    ASSERT_TRUE(platform::DeleteFileAt(inst_ + "\\" + c.on_disk));
  }
  // A save takes the word as a load does.
  LoadScript(ctx_, {{"uninstalllogsave", {"$INSTDIR", "copy"}}});
  RunLine(ctx_, 0);
  EXPECT_TRUE(platform::FileExists(inst_ + "\\copy_install.log"));
}

class RecordingArchives : public ArchiveProcedures {
 public:
  void UpdatePackage(std::uint16_t g, const std::string& p, const std::string& pw) override {
    calls.push_back("update " + std::to_string(g) + " " + p + " " + pw);
  }
  void SetPackageOfficial(const std::string& p, const std::string& w, const std::string& f) override {
    calls.push_back("official " + p + " " + w + " " + f);
  }
  void DuplicateMember(const std::string& p, const std::string& a, const std::string& b) override {
    calls.push_back("duplicate " + p + " " + a + " " + b);
  }
  void UpdateVFS(std::uint16_t g, const std::string& a, bool close) override {
    calls.push_back("vfs " + std::to_string(g) + " " + a + (close ? " close" : " open"));
  }
  void EndOfRun(bool) override {}
  std::vector<std::string> calls;
};

TEST_F(CommandTest, ArchiveCommandsDecodeTheirSecretsAndHandOver) {
  RecordingArchives archives;
  ctx_.Services.Archives = &archives;
  const std::string key(kPackageCommandKey);
  LoadScript(ctx_, {{"zqpupdate", {"src", EncodePass(key, "s3cret", false), "game.zqp", "4"}},
                    {"zqpofficial", {"game.zqp", EncodePass(key, "confirm", false), "1"}},
                    {"duplicateentry", {"game.zqp", "a.dat", "b.dat"}},
                    {"vfsupdate", {"src", "data.vfs", "0", "5"}},
                    {"vfsupdate", {"src", "data.vfs", "6"}}});
  for (std::uint32_t i = 0; i < 5; ++i) RunLine(ctx_, i);
  EXPECT_EQ(archives.calls, (std::vector<std::string>{"update 4 game.zqp s3cret", "official game.zqp confirm 1",
                                                      "duplicate game.zqp a.dat b.dat", "vfs 5 data.vfs open",
                                                      "vfs 6 data.vfs close"}));
  EXPECT_EQ(ctx_.Run.Lines.Lines[0].Args[1], "s3cret");  // decoded in place
  LoadScript(ctx_, {{"file", {"src", "notanumber"}}});
  EXPECT_THROW(RunLine(ctx_, 0), Error);
}

#ifndef _WIN32
TEST_F(CommandTest, OpticalDriveSearchFindsTheDriveThatHoldsTheFile) {
  const std::string first = dir_ / "cd1";
  const std::string second = dir_ / "cd2";
  ASSERT_TRUE(platform::CreateDir(first));
  ASSERT_TRUE(platform::CreateDir(second));
  test::WriteAll(second + "\\setup.dat", "from the second disc");
  ASSERT_TRUE(platform::MapDrive('R', *platform::HostPath(first)));
  ASSERT_TRUE(platform::MapDrive('S', *platform::HostPath(second)));
  ASSERT_TRUE(platform::SetDriveType('R', platform::DriveType::CdRom));
  ASSERT_TRUE(platform::SetDriveType('S', platform::DriveType::CdRom));
  ctx_.SetupToLoad().CDDrive = "R:\\";
  LoadScript(ctx_, {{"copyfile", {"$CDDRIVE\\setup.dat", "$INSTDIR\\setup.dat"}},
                    {"iffileexists", {"$cddrive\\setup.dat", "2", "-1"}},
                    {"message", {"skipped"}}});
  RunLine(ctx_, 0);
  EXPECT_EQ(test::ReadAll(inst_ + "\\setup.dat"), "from the second disc");
  ctx_.Run.CurrentLine = 1;
  RunLine(ctx_, 1);
  EXPECT_EQ(ctx_.Run.CurrentLine, 2);
}
#endif

}  // namespace
}  // namespace zq
