// A setup's architecture and scope on the host's stand-in for Windows: where the shortcut and
// the Add/Remove entry land, what the log records, that the uninstaller knows its options and
// removes from the same places, and that a 32-bit machine refuses an x64 setup.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/startup.h"
#include "container/entry_names.h"
#include "container/pak.h"
#include "container/run_options.h"
#include "engine/command_line.h"
#include "engine/setup_context.h"
#include "engine/uninstaller.h"
#include "frontend/headless/headless_front_end.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"
#include "script/command_table.h"
#include "support/compiled_line.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

constexpr char kEnvironmentKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

using test::CompiledLine;

std::string Bytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

void SetProcessor(const char* architecture) {
  platform::Registry reg;
  reg.SetRoot(platform::kHkeyLocalMachine);
  ASSERT_TRUE(reg.OpenKey(kEnvironmentKey, true));
  reg.WriteString("PROCESSOR_ARCHITECTURE", architecture);
}

class MachineScopeTest : public ::testing::Test {
 protected:
  std::string WriteSetup(const RunOptions& options) {
    TSetupInfoFile info;
    info.SetupName = info.ShortName = "zqsetup-test Scope";
    info.SetupExeName = "ScopeSetup.exe";
    info.UninstallExeName = "Uninstall.exe";
    info.InstallDir = dir_ / "Apps\\Scope";
    info.HasUninstaller = 1;
    TCompLines lines;
    lines.Lines = {CompiledLine("file", {"payload", "1"}, 0),
                   CompiledLine("createshortcut", {"$SMPROGRAMS\\zq-test Scope.lnk", "$INSTDIR\\scope.exe", ""}, 1)};
    std::vector<test::SampleEntry> entries = {
        {kSetupInfoEntry, 0, Bytes(info.Serialize())},
        {kCompiledLinesEntry, 0, Bytes(lines.Serialize())},
        {"LANGUAGE-English", 0, test::LanguageTable(u"English", "0409;", {{18, u"Extracting <%FILENAME%>"}})},
        {"UNINSTALL_LANGUAGE-English", 0, test::LanguageTable(u"English", "0409;", {{19, u"<%FNUM%>"}})},
        {"scope.exe", 1, "program"}};
    if (!options.IsDefault()) entries.push_back({kRunOptionsEntry, 0, FormatRunOptions(options)});
    const std::string path = dir_ / "ScopeSetup.exe";
    EXPECT_TRUE(test::WritePackage(path, test::FakeProgram(300), entries));
    return path;
  }
  int Run(const std::string& program, std::vector<std::string> args = {"/S"}) {
    SetupContext ctx;
    HeadlessFrontEnd fe(ctx, ParseEngineCommandLine(args), program);
    ctx.Services.Messages = &fe;
    StartupEnvironment env;
    env.program_path = program;
    env.arguments = std::move(args);
    return RunEngine(ctx, fe, env);
  }
  test::TempDir dir_;
};

TEST_F(MachineScopeTest, ShortcutsEntryAndUninstallFollowTheOptions) {
  const std::string key = std::string(kUninstallKeyBase) + "zqsetup-test Scope";
  const struct {
    RunOptions options;
    int menu;              // where $SMPROGRAMS lands
    const char* recorded;  // the shortcut as the log keeps it
    std::uint32_t entry_root;
  } cases[] = {
      {{}, platform::kCsidlPrograms, "$SMPROGRAMSzq-test Scope.lnk", platform::kHkeyLocalMachine},
      {{false, Architecture::X64, InstallScope::Default},
       platform::kCsidlPrograms,
       "$SMPROGRAMSzq-test Scope.lnk",
       platform::kHkeyLocalMachine},
      {{false, Architecture::X86, InstallScope::Machine},
       platform::kCsidlCommonPrograms,
       "$COMMONSMPROGRAMS\\zq-test Scope.lnk",
       platform::kHkeyLocalMachine},
      {{false, Architecture::X64, InstallScope::User},
       platform::kCsidlPrograms,
       "$SMPROGRAMSzq-test Scope.lnk",
       platform::kHkeyCurrentUser},
  };
  for (const auto& c : cases) {
    const std::string options = FormatRunOptions(c.options);
    const std::string setup = WriteSetup(c.options);
    ASSERT_EQ(Run(setup), kExitInstalled) << options;
    const std::string inst = dir_ / "Apps\\Scope";
    const std::string link = *platform::SpecialFolderPath(c.menu) + "\\zq-test Scope.lnk";
    EXPECT_TRUE(platform::FileExists(link)) << options;
    TUninstallList log;
    ASSERT_TRUE(log.Load(inst, ""));
    EXPECT_NE(std::find(log.Files.begin(), log.Files.end(), c.recorded), log.Files.end()) << options;
    platform::Registry reg;
    for (const std::uint32_t root : {platform::kHkeyLocalMachine, platform::kHkeyCurrentUser}) {
      reg.SetRoot(root);
      EXPECT_EQ(reg.KeyExists(key), root == c.entry_root) << options << " root " << root;
    }
    // The uninstaller carries its setup's options, and removes from where the setup wrote.
    const std::string uninstaller = inst + "\\Uninstall.exe";
    const TPak pak(uninstaller);
    const auto carried = pak.ExtractByName(kRunOptionsEntry, 0);
    EXPECT_EQ(carried ? Bytes(*carried) : "", options);
    ASSERT_EQ(Run(uninstaller), kExitInstalled) << options;
    EXPECT_FALSE(platform::FileExists(link)) << options;
    reg.SetRoot(c.entry_root);
    EXPECT_FALSE(reg.KeyExists(key)) << options;
  }
}

// Nothing machine-wide for a per-user setup, a folder given on the command line included.
TEST_F(MachineScopeTest, APerUserSetupRefusesTheProgramFilesFolder) {
  const std::string setup = WriteSetup({false, Architecture::X86, InstallScope::User});
  const std::string programs = *platform::SpecialFolderPath(platform::kCsidlProgramFiles);
  EXPECT_EQ(Run(setup, {"/S", "/D=" + programs + "\\zq-test Scope"}), kExitRefused);
  EXPECT_FALSE(platform::DirectoryExists(programs + "\\zq-test Scope"));
  EXPECT_EQ(Run(setup, {"/S", "/D=" + dir_ / "Mine\\Scope"}), kExitInstalled);
}

TEST_F(MachineScopeTest, A32BitMachineRefusesAnX64SetupBeforeItWritesAnything) {
  SetProcessor("x86");
  EXPECT_EQ(Run(WriteSetup({false, Architecture::X64, InstallScope::Default})), kExitRefused);
  EXPECT_FALSE(platform::DirectoryExists(dir_ / "Apps\\Scope"));
  EXPECT_EQ(Run(WriteSetup({})), kExitInstalled);
  SetProcessor("AMD64");
}

}  // namespace
}  // namespace zq
