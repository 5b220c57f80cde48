// Damaged setups: every cut and a sweep of flipped bytes end in a refusal (exit code 3), the
// error report (4), or a setup that still verifies; never a crash, a hang, or a write to the
// target before verification has passed. And the error report itself, line by line.
#include <gtest/gtest.h>

#include "engine/front_end.h"
#include "app/startup.h"
#include "container/pak.h"
#include "engine/setup_context.h"
#include "engine/error_log.h"
#include "platform/files.h"
#include "script/command_table.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

class CountingFrontEnd : public TFrontEnd {
 public:
  int Show(const std::u16string&, const std::u16string&, unsigned) override { return kIdOk; }
  int RunWizard(SetupContext&) override { return kExitInstalled; }
};

std::string Bytes(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

class StartupDamageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TSetupInfoFile info;
    info.SetupName = "Damage";
    info.SetupExeName = "setup.exe";
    info.InstallDir = dir_ / "Target";
    TCompLines lines;
    TCompLine file;
    file.CommandIndex = FindCommand("file")->index;
    file.Args = {"src", "1"};
    file.ArgCount = 2;
    lines.Lines.push_back(file);
    ASSERT_TRUE(test::WritePackage(path_, test::FakeProgram(64),
                                   {{"SetupInfo", 0, Bytes(info.Serialize())},
                                    {"CompiledLines", 0, Bytes(lines.Serialize())},
                                    {"LANGUAGE-English", 0, test::LanguageTable(u"English", "0409;", {{1, u"One"}})},
                                    {"a.txt", 1, std::string(300, 'a')}}));
    good_ = test::ReadAll(path_);
  }
  int Run() {
    SetupContext ctx;
    CountingFrontEnd fe;
    StartupEnvironment env;
    env.program_path = path_;
    env.report_error = [](SetupContext&, const std::string&, const std::string&) {};
    return RunEngine(ctx, fe, env);
  }
  test::TempDir dir_;
  std::string path_ = dir_ / "setup.exe";
  std::string good_;
};

TEST_F(StartupDamageTest, CutsAndFlipsAreRefusedBeforeAnythingIsWritten) {
  for (std::size_t cut = 0; cut < good_.size(); cut += 7) {
    test::WriteAll(path_, good_.substr(0, cut));
    EXPECT_EQ(Run(), kExitRefused) << "cut at " << cut;
  }
  TPak layout(path_, TPak::OpenFlags::Read);
  for (std::size_t pos = 64; pos < good_.size(); pos += 3) {
    std::string bad = good_;
    bad[pos] = static_cast<char>(bad[pos] ^ 0x24);
    test::WriteAll(path_, bad);
    const int code = Run();
    EXPECT_TRUE(code == kExitRefused || code == kExitInternalError || code == kExitInstalled) << pos << ": " << code;
  }
  EXPECT_FALSE(platform::DirectoryExists(dir_ / "Target"));
}

TEST_F(StartupDamageTest, ABadLanguageTableEndsInTheErrorReport) {
  TSetupInfoFile info;
  info.SetupName = "Broken Tables";
  info.SetupExeName = "setup.exe";
  info.InstallDir = dir_ / "Target";
  ASSERT_TRUE(test::WritePackage(path_, test::FakeProgram(64),
                                 {{"SetupInfo", 0, Bytes(info.Serialize())},
                                  {"CompiledLines", 0, std::string("\0\0", 2)},
                                  {"LANGUAGE-Bad", 0, test::LanguageTable(u"Bad", "zz;", {})}}));
  SetupContext ctx;
  CountingFrontEnd fe;
  std::string report;
  std::vector<std::u16string> boxes;
  StartupEnvironment env;
  env.program_path = path_;
  env.arguments = {"/S", "/j", "user", "1.2.3.4"};
  env.report_error = [&](SetupContext& c, const std::string& message, const std::string& stage) {
    TErrorLogSystem system;
    system.Folder = dir_.path() + "\\";
    system.CpuSpeedMhz = [] { return 1234u; };
    system.OpenFile = [](const std::string&) {};
    report = WriteErrorLog(c, message, stage, env.arguments, system);
  };
  EXPECT_EQ(RunEngine(ctx, fe, env), kExitInternalError);
  ASSERT_EQ(report, dir_ / "ErrorLog0000.TXT");
  const std::string text = test::ReadAll(report);
  for (const char* line : {"General Info\r\n------------\r\n", "Setup Name             : Broken Tables\r\n",
                           "Pak Info\r\n--------\r\n", "ID                     : ZQPF\r\n",
                           "Count                  : 3\r\n", "ErrorType              : Unknown\r\n",
                           "Params                 : /S /j X X.X.X.X\r\n", "ParamCount             : 4\r\n",
                           "CPU Speed              : 1234Mhz\r\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  EXPECT_NE(text.find("ErrorText              : "), std::string::npos);
}

}  // namespace
}  // namespace zq
