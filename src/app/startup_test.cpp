// Start-up refusals and a silent install and uninstall, run in this process against packages
// written by the tests.
#include "app/startup.h"
#include "container/entry_names.h"
#include "app/run_log.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/command_line.h"
#include "engine/front_end.h"
#include "container/pak.h"
#include "engine/setup_context.h"
#include "frontend/headless/headless_front_end.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "platform/text.h"
#include "script/command_table.h"
#include "support/compiled_line.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"
#include "engine/uninstaller.h"

namespace zq {
namespace {

using test::CompiledLine;

std::string Bytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

// Records the refusal boxes; the wizard itself is not reached in these tests.
class RefusalRecorder : public FrontEnd {
 public:
  int Show(const std::u16string& text, const std::u16string& caption, unsigned) override {
    shown.emplace_back(caption, text);
    return kIdOk;
  }
  int RunWizard(SetupContext&) override {
    reached_wizard = true;
    return kExitInstalled;
  }
  std::vector<std::pair<std::u16string, std::u16string>> shown;
  bool reached_wizard = false;
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    info_.SetupName = "Demo 1.0";
    info_.ShortName = "zqsetup-test Demo";
    info_.SetupExeName = "DemoSetup.exe";
    info_.UninstallExeName = "Uninstall.exe";
    info_.LogPrefix = "demo_";
    info_.InstallDir = dir_ / "Program\\Demo";
    info_.HasUninstaller = 1;
    lines_.Lines = {CompiledLine("file", {"payload", "1"}, 0),
                    CompiledLine("writeregstr", {"HKCU", "Software\\zqsetup-test\\Demo", "Path", "$INSTDIR"}, 1)};
  }
  void TearDown() override {
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyCurrentUser);
    reg.DeleteKey("Software\\zqsetup-test\\Demo");
    reg.SetRoot(platform::kHkeyLocalMachine);
    reg.DeleteKey(std::string(kUninstallKeyBase) + info_.ShortName);
  }
  std::vector<test::SampleEntry> Entries() {
    return {{"SetupInfo", 0, Bytes(info_.Serialize())},
            {"CompiledLines", 0, Bytes(lines_.Serialize())},
            {"LANGUAGE-English", 0, test::LanguageTable(u"English", "0409;", {{18, u"Extracting <%FILENAME%>"}})},
            {"UNINSTALL_LANGUAGE-English", 0, test::LanguageTable(u"English", "0409;", {{19, u"<%FNUM%>/<%FTOTAL%>"}})},
            {"readme.txt", 1, "read me"},
            {"bin\\demo.exe", 1, std::string(5000, 'x')}};
  }
  std::string Write(const std::vector<test::SampleEntry>& entries, const std::string& name = "DemoSetup.exe") {
    std::string path = dir_ / name;
    EXPECT_TRUE(test::WritePackage(path, test::FakeProgram(300), entries));
    return path;
  }
  int Run(const std::string& program, std::vector<std::string> args, FrontEnd& fe, SetupContext& ctx) {
    StartupEnvironment env;
    env.program_path = program;
    env.arguments = std::move(args);
    env.report_error = [this](SetupContext&, const std::string& m, const std::string& s) {
      errors_.push_back(s + ": " + m);
    };
    return RunEngine(ctx, fe, env);
  }
  // Runs and returns the one refusal box.
  std::pair<std::u16string, std::u16string> Refusal(const std::string& program, std::vector<std::string> args = {}) {
    SetupContext ctx;
    RefusalRecorder fe;
    EXPECT_EQ(Run(program, std::move(args), fe, ctx), kExitRefused);
    EXPECT_FALSE(fe.reached_wizard);
    EXPECT_EQ(fe.shown.size(), 1u);
    return fe.shown.empty() ? std::pair<std::u16string, std::u16string>{} : fe.shown[0];
  }
  test::TempDir dir_;
  TSetupInfoFile info_;
  TCompLines lines_;
  std::vector<std::string> errors_;
};

TEST_F(StartupTest, EveryRefusalHasItsMessageAndCaption) {
  std::string plain = dir_ / "DemoSetup.exe";
  test::WriteAll(plain, test::FakeProgram(500));
  EXPECT_EQ(Refusal(plain), (std::pair<std::u16string, std::u16string>{
                                u"Error", u"Invalid Setup Header. No Contents or Corrupted Contents."}));

  auto entries = Entries();
  std::string path = Write(entries);
  {
    std::string all = test::ReadAll(path);
    all[TPak(path).Entries()[4].Offset] ^= 1;  // readme.txt
    test::WriteAll(path, all);
  }
  EXPECT_EQ(Refusal(path),
            (std::pair<std::u16string, std::u16string>{
                u"Verification Error", u"Error: Verification Failed. Setup is corrupt.\rID: 4 Filename: readme.txt"}));

  entries.erase(entries.begin());  // no SetupInfo
  EXPECT_EQ(Refusal(Write(entries)),
            (std::pair<std::u16string, std::u16string>{u"Verification Error",
                                                       u"Error: Setup Information Missing. Setup is corrupt"}));
  entries = Entries();
  entries.erase(entries.begin() + 1);  // no CompiledLines
  EXPECT_EQ(Refusal(Write(entries)), (std::pair<std::u16string, std::u16string>{
                                         u"Verification Error", u"Error: Compiled Lines Missing. Setup is corrupt"}));
  entries = Entries();
  entries[1].data.pop_back();  // a script cut short is damaged, not missing
  EXPECT_EQ(Refusal(Write(entries)), (std::pair<std::u16string, std::u16string>{
                                         u"Verification Error", u"Error: Compiled Lines Damaged. Setup is corrupt"}));

  EXPECT_EQ(
      Refusal(Write(Entries(), "Renamed.exe")),
      (std::pair<std::u16string, std::u16string>{
          u"Error", u"Error: Setup`s filename has been renamed\r\rExpected: \rDemoSetup.exe\r\rFound: \rRenamed.exe"}));
  // Browser copy numbers are no rename.
  {
    SetupContext ctx;
    RefusalRecorder fe;
    EXPECT_EQ(Run(Write(Entries(), "DemoSetup(2).exe"), {}, fe, ctx), kExitInstalled);
  }

  // A script that uses what this engine does not know.
  entries = Entries();
  entries.push_back({kRunOptionsEntry, 0, "needs decisions\r\nneeds teleport\r\n"});
  EXPECT_EQ(Refusal(Write(entries)),
            (std::pair<std::u16string, std::u16string>{
                u"Setup Error",
                u"This setup needs a newer zqsetup: its script uses \"teleport\", which this one does not know."}));

  info_.InstallDir.clear();
  EXPECT_EQ(Refusal(Write(Entries())), (std::pair<std::u16string, std::u16string>{
                                           u"Error", u"Error: Registry Key Not Found. Please Install Software"}));
  info_.Mode = SetupMode::Uninstaller;
  info_.InstallDir = dir_ / "Nowhere";
  EXPECT_EQ(Refusal(Write(Entries())),
            (std::pair<std::u16string, std::u16string>{u"Setup Error", u"Error: install log is missing"}));
}

// A damaged uninstall log is refused as the uninstaller always has; the run log says what is
// wrong with it.
TEST_F(StartupTest, TheRunLogSaysWhatIsWrongWithADamagedUninstallLog) {
  const struct {
    std::string bytes;
    const char* problem;
  } cases[] = {
      {std::string("\x01\0", 2), "the uninstall log ends before its three line counts"},
      {std::string("\x01\0\0\0\0\0", 6), "the uninstall log ends inside file line 1 of 1"},
  };
  info_.Mode = SetupMode::Uninstaller;
  info_.InstallDir = dir_ / "Installed";
  ASSERT_TRUE(platform::CreateDir(info_.InstallDir));
  const std::string log = TUninstallList::LogPath(info_.InstallDir, info_.LogPrefix);
  const std::string setup = Write(Entries());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.problem);
    test::WriteAll(log, c.bytes);
    SetupContext ctx;
    std::vector<std::string> lines;
    ctx.Services.RunLog = [&lines](const std::string& line) { lines.push_back(line); };
    RefusalRecorder fe;
    EXPECT_EQ(Run(setup, {}, fe, ctx), kExitRefused);
    EXPECT_EQ(fe.shown, (std::vector<std::pair<std::u16string, std::u16string>>{
                            {u"Setup Error", u"Error: install log is missing"}}));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "damaged uninstall log " + log + ": " + c.problem), lines.end())
        << ::testing::PrintToString(lines);
  }
}

// The renamed-file refusal breaks its lines with a lone CR; the /LOG file keeps each line.
TEST_F(StartupTest, TheLogKeepsTheLinesOfARefusal) {
  const std::string setup = Write(Entries(), "Renamed.exe");
  const std::string log_path = dir_ / "log.txt";
  {
    RunLog log;
    ASSERT_TRUE(log.Open(log_path));
    SetupContext ctx;
    ctx.Services.RunLog = [&log](const std::string& line) { log.Write(line); };
    HeadlessFrontEnd fe(ctx, ParseEngineCommandLine({"/S"}), setup);
    ctx.Services.Messages = &fe;
    EXPECT_EQ(Run(setup, {"/S"}, fe, ctx), kExitRefused);
  }
  const std::string text =
      "Error: Setup`s filename has been renamed\r\n\r\n"
      "  Expected: \r\n  DemoSetup.exe\r\n\r\n"
      "  Found: \r\n  Renamed.exe";
  const std::string log = test::ReadAll(log_path);
  EXPECT_NE(log.find("\r\nrefused: " + text + "\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\r\nmessage box \"Error\": " + text + " -> OK\r\n"), std::string::npos) << log;
  for (std::size_t i = log.find('\r'); i != std::string::npos; i = log.find('\r', i + 1)) {
    EXPECT_EQ(log.substr(i, 2), "\r\n") << "a lone CR at " << i;
  }
}

TEST_F(StartupTest, ContainerArgumentSkipsTheRenameCheckAndSwitchesAreNotFiles) {
  const std::string setup = Write(Entries());
  SetupContext ctx;
  RefusalRecorder fe;
  EXPECT_EQ(Run(dir_ / "whatever.exe", {"/S", setup, "/LOG=x"}, fe, ctx), kExitInstalled);
  EXPECT_TRUE(fe.shown.empty());
  EngineOptions o = ParseEngineCommandLine({"/s", "/lang=0407", "/Log=C:\\l.txt", "/S", "/d=C:\\Games\\Demo"});
  EXPECT_TRUE(o.silent);
  EXPECT_EQ(o.install_dir, "C:\\Games\\Demo");
  EXPECT_EQ(o.language, 0x0407);
  EXPECT_EQ(o.log_file, "C:\\l.txt");
  EXPECT_FALSE(o.container.has_value());
  EXPECT_FALSE(ParseEngineCommandLine({"/LANG=xyz"}).problems.empty());
}

TEST_F(StartupTest, InstalledDirectoryComesFromTheRegistryWhenItIsThere) {
  info_.InstallDirRegKey = {1, "Software\\zqsetup-test\\Demo", "Path"};
  {
    platform::Registry reg;
    reg.SetRoot(platform::kHkeyCurrentUser);
    ASSERT_TRUE(reg.OpenKey("Software\\zqsetup-test\\Demo", true));
    reg.WriteString("Path", dir_ / "FromRegistry");
  }
  SetupContext ctx;
  RefusalRecorder fe;
  EXPECT_EQ(Run(Write(Entries()), {}, fe, ctx), kExitInstalled);
  EXPECT_EQ(ctx.Choices.InstallDir, dir_ / "FromRegistry");
  EXPECT_GT(ctx.Choices.SpaceAvailable, 0);
  // The two files in whole clusters of the folder's drive (7 and 5,000 bytes), then one cluster
  // each for the uninstaller (its program part and entries) and the uninstall log.
  const std::int64_t k = ctx.Choices.ClusterBytes;
  ASSERT_GE(k, 512);
  auto whole = [k](std::int64_t bytes) { return (bytes + k - 1) / k * k; };
  EXPECT_EQ(ctx.Choices.SpaceRequired, whole(7) + whole(5000) + k + k);
}

// The space asked for follows the components chosen on the command line; a name the setup
// lacks is refused before anything is measured or written.
TEST_F(StartupTest, ComponentsOnTheCommandLineChooseWhatIsMeasured) {
  lines_.Lines = {CompiledLine("file", {"payload", "1"}, 0),
                  CompiledLine("component", {"bin", "Bin", "off", "", "5000", "2"}, 1),
                  CompiledLine("file", {"bin", "2"}, 2)};
  auto entries = Entries();
  entries.back().group = 2;  // bin\demo.exe, in the component
  const std::string setup = Write(entries);
  const struct {
    std::vector<std::string> args;
    int code;
    std::vector<bool> chosen;
    bool counts_bin;
  } cases[] = {{{}, kExitInstalled, {false}, false},
               {{"/COMPONENTS=BIN"}, kExitInstalled, {true}, true},
               {{"/COMPONENTS="}, kExitInstalled, {false}, false},
               {{"/COMPONENTS=bin,nope"}, kExitRefused, {}, false}};
  for (const auto& c : cases) {
    SetupContext ctx;
    RefusalRecorder fe;
    EXPECT_EQ(Run(setup, c.args, fe, ctx), c.code);
    if (c.code != kExitInstalled) {
      ASSERT_EQ(fe.shown.size(), 1u);
      EXPECT_NE(platform::WideToUtf8(fe.shown[0].second).find("\"nope\""), std::string::npos);
      continue;
    }
    EXPECT_EQ(ctx.Choices.ComponentChosen, c.chosen);
    const std::int64_t k = ctx.Choices.ClusterBytes;
    auto whole = [k](std::int64_t bytes) { return (bytes + k - 1) / k * k; };
    EXPECT_EQ(ctx.Choices.SpaceRequired, whole(7) + (c.counts_bin ? whole(5000) : 0) + k + k);
  }
}

TEST_F(StartupTest, SilentInstallThenUninstallLeavesOnlyWhatTheUserAdded) {
#ifdef _WIN32
  // A Wine prefix's desktop is the user's home folder: only the host's prefix is the test's own.
  constexpr bool kUserFolders = false;
#else
  constexpr bool kUserFolders = true;
#endif
  if (kUserFolders) {
    lines_.Lines.push_back(
        CompiledLine("createshortcut", {"$DESKTOP\\zq-test Demo.lnk", "$INSTDIR\\bin\\demo.exe", ""}, 2));
    lines_.Lines.push_back(CompiledLine("copyfile", {"$INSTDIR\\readme.txt", "$appdata\\zq-test Demo\\readme.txt"}, 3));
  }
  const std::string setup = Write(Entries());
  const std::string inst = info_.InstallDir;
  const std::string link = *platform::SpecialFolderPath(platform::kCsidlDesktop) + "\\zq-test Demo.lnk";
  const std::string copy = *platform::SpecialFolderPath(platform::kCsidlAppData) + "\\zq-test Demo\\readme.txt";
  {
    SetupContext ctx;
    EngineOptions options = ParseEngineCommandLine({"/S"});
    HeadlessFrontEnd fe(ctx, options, setup);
    ctx.Services.Messages = &fe;
    ASSERT_EQ(Run(setup, {"/S"}, fe, ctx), kExitInstalled) << (errors_.empty() ? "" : errors_[0]);
  }
  EXPECT_EQ(test::ReadAll(inst + "\\readme.txt"), "read me");
  EXPECT_EQ(test::ReadAll(inst + "\\bin\\demo.exe"), std::string(5000, 'x'));
  platform::Registry reg;
  reg.SetRoot(platform::kHkeyCurrentUser);
  ASSERT_TRUE(reg.OpenKey("Software\\zqsetup-test\\Demo", false));
  EXPECT_EQ(reg.ReadString("Path"), inst);
  reg.SetRoot(platform::kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKey(std::string(kUninstallKeyBase) + info_.ShortName, false));
  EXPECT_EQ(reg.ReadString("UninstallString"), "\"" + inst + "\\Uninstall.exe\"");
  ASSERT_TRUE(platform::FileExists(inst + "\\demo_install.log"));
  if (kUserFolders) {
    EXPECT_TRUE(platform::FileExists(link));
    EXPECT_EQ(test::ReadAll(copy), "read me");
    TUninstallList recorded;
    ASSERT_TRUE(recorded.Load(inst, "demo_"));
    const auto& files = recorded.Files;
    for (const char* entry : {"$DESKTOP\\zq-test Demo.lnk", "$APPDATA\\zq-test Demo\\readme.txt"}) {
      EXPECT_NE(std::find(files.begin(), files.end(), entry), files.end()) << entry;
    }
  }

  // The uninstaller: the same program part, the UNINSTALL_ entries under plain names, Mode 1.
  const std::string uninstaller = inst + "\\Uninstall.exe";
  {
    TPak pak(uninstaller);
    ASSERT_TRUE(pak.HasValidHeader());
    EXPECT_EQ(pak.Header().DataStart, 300u);
    EXPECT_EQ(test::ReadAll(uninstaller).substr(0, 300), test::FakeProgram(300));
    std::vector<std::string> names;
    for (const auto& e : pak.Entries()) names.push_back(e.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"LANGUAGE-English", "SetupInfo"}));
    auto record = pak.ExtractByName("SetupInfo", 0);
    TSetupInfoFile info;
    ASSERT_TRUE(info.LoadFromBuffer(record->data(), record->size()));
    EXPECT_EQ(info.Mode, SetupMode::Uninstaller);
    EXPECT_EQ(info.InstallDir, inst);
  }
  test::WriteAll(inst + "\\bin\\user-notes.txt", "mine");
  {
    SetupContext ctx;
    HeadlessFrontEnd fe(ctx, ParseEngineCommandLine({"/S"}), uninstaller);
    ctx.Services.Messages = &fe;
    ASSERT_EQ(Run(uninstaller, {"/S"}, fe, ctx), kExitInstalled);
  }
  EXPECT_FALSE(platform::FileExists(inst + "\\readme.txt"));
  EXPECT_FALSE(platform::FileExists(inst + "\\bin\\demo.exe"));
  EXPECT_FALSE(platform::FileExists(inst + "\\demo_install.log"));
  EXPECT_TRUE(platform::FileExists(inst + "\\bin\\user-notes.txt"));
  if (kUserFolders) {
    EXPECT_FALSE(platform::FileExists(link));
    EXPECT_FALSE(platform::FileExists(copy));
  }
  EXPECT_TRUE(platform::DirectoryExists(inst + "\\bin"));
  // The keys the installation created go with their values.
  reg.SetRoot(platform::kHkeyCurrentUser);
  EXPECT_FALSE(reg.KeyExists("Software\\zqsetup-test\\Demo"));
  reg.SetRoot(platform::kHkeyLocalMachine);
  EXPECT_FALSE(reg.KeyExists(std::string(kUninstallKeyBase) + info_.ShortName));
}

// Start-up cannot measure a directory that still holds a macro; the silent run measures the
// one it installs into, whatever its pages.
TEST_F(StartupTest, SilentRunMeasuresTheFreeSpaceOfTheDirectoryItInstallsInto) {
  info_.InstallDir = "$PROGRAMFILES\\zqsetup-test Demo";
  info_.HasUninstaller = 0;
  const std::vector<test::SampleEntry> confirmation_without_directory_page = {
      {"Pages.txt", 0, "[Pages]\r\np.txt\r\np.txt\r\np.txt\r\n[PageTypes]\r\nPatch\r\nPatching\r\nFinish\r\n"},
      {"p.txt", 0, ""}};
  const struct {
    const char* name;
    std::vector<test::SampleEntry> pages;
  } cases[] = {{"no pages", {}}, {"a confirmation page, no directory page", confirmation_without_directory_page}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto entries = Entries();
    entries.insert(entries.end(), c.pages.begin(), c.pages.end());
    const std::string setup = Write(entries);
    const std::string target = dir_ / c.name;
    const std::vector<std::string> args = {"/S", "/D=" + target};
    SetupContext ctx;
    HeadlessFrontEnd fe(ctx, ParseEngineCommandLine(args), setup);
    ctx.Services.Messages = &fe;
    EXPECT_EQ(Run(setup, args, fe, ctx), kExitInstalled);
    EXPECT_FALSE(ctx.Choices.SpaceAvailableText.empty());
    EXPECT_EQ(test::ReadAll(target + "\\readme.txt"), "read me");
  }
}

// A script without installdir is refused without a folder (above), and installs where /D= says.
TEST_F(StartupTest, WithoutInstalldirTheFolderOfTheCommandLineIsTaken) {
  info_.InstallDir.clear();
  const std::string setup = Write(Entries());
  const std::string target = dir_ / "Given";
  const std::vector<std::string> args = {"/S", "/D=" + target};
  SetupContext ctx;
  HeadlessFrontEnd fe(ctx, ParseEngineCommandLine(args), setup);
  ctx.Services.Messages = &fe;
  EXPECT_EQ(Run(setup, args, fe, ctx), kExitInstalled);
  EXPECT_EQ(test::ReadAll(target + "\\readme.txt"), "read me");
}

// A package that could not be checked is never installed: the report, exit code 4.
TEST_F(StartupTest, NoMemoryDuringVerificationEndsInTheReportWithExitCodeFour) {
  class NoMemory : public RefusalRecorder {
   public:
    void VerifyProgress(std::size_t, std::size_t) override { throw std::bad_alloc(); }
    void VerifyEnd() override { ++ended; }
    int ended = 0;
  };
  SetupContext ctx;
  NoMemory fe;
  EXPECT_EQ(Run(Write(Entries()), {"/S"}, fe, ctx), kExitInternalError);
  EXPECT_EQ(errors_, (std::vector<std::string>{"Verification Stage: std::bad_alloc"}));
  EXPECT_EQ(fe.ended, 1);
  EXPECT_FALSE(fe.reached_wizard);
  EXPECT_TRUE(fe.shown.empty());
}

TEST_F(StartupTest, FailureEndsWithExitCodeTwoAndShortSpaceIsRefused) {
  lines_.Lines = {CompiledLine("failure", {}, 0)};
  info_.HasUninstaller = 0;
  const std::string setup = Write(Entries());
  {
    SetupContext ctx;
    HeadlessFrontEnd fe(ctx, ParseEngineCommandLine({"/S"}), setup);
    EXPECT_EQ(Run(setup, {"/S"}, fe, ctx), kExitScriptFailed);
  }
  {
    SetupContext ctx;
    HeadlessFrontEnd fe(ctx, ParseEngineCommandLine({"/S", "/D=Q:\\Nowhere"}), setup);
    EXPECT_EQ(Run(setup, {"/S", "/D=Q:\\Nowhere"}, fe, ctx), kExitRefused);  // no such drive
  }
}

}  // namespace
}  // namespace zq
