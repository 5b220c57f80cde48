// Damaged setups: every damaged byte of the package's directory and header, damaged blocks and
// cuts are refused by start-up (exit code 3, nothing written) and by `zq verify`; records that
// pass their CRC but cannot be read are refused the same way. And the error report itself, line
// by line.
#include <gtest/gtest.h>

#include <sstream>

#include "app/startup.h"
#include "builder/package_writer.h"
#include "container/pak.h"
#include "engine/error_log.h"
#include "engine/front_end.h"
#include "engine/setup_context.h"
#include "platform/files.h"
#include "platform/text.h"
#include "script/command_table.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"
#include "tools/commands.h"

namespace zq {
namespace {

class CountingFrontEnd : public FrontEnd {
 public:
  int Show(const std::u16string& text, const std::u16string&, unsigned) override {
    boxes.push_back(text);
    return kIdOk;
  }
  int RunWizard(SetupContext&) override { return kExitInstalled; }
  std::vector<std::u16string> boxes;
};

std::vector<std::uint8_t> Data(const std::string& s) { return {s.begin(), s.end()}; }

const char kPageList[] = "[Pages]\r\nwelcome.txt\r\n[PageTypes]\r\nWelcome\r\n[Settings]\r\ncolour=$FFFFFF\r\n";
const char kLayout[] = "[title]\r\nType=TLabel\r\ncaption=<LANG1>\r\n";

class StartupDamageTest : public ::testing::Test {
 protected:
  // A small setup as zq build writes it (digest included), with `records` in place of the
  // sound ones of the same name.
  void Build(const std::vector<builder::PlannedEntry>& records = {}) {
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
    std::vector<builder::PlannedEntry> entries = {
        {"SetupInfo", 0, "", info.Serialize()},
        {"CompiledLines", 0, "", lines.Serialize()},
        {"LANGUAGE-English", 0, "", Data(test::LanguageTable(u"English", "0409;", {{1, u"One"}}))},
        {"Pages.txt", 0, "", Data(kPageList)},
        {"welcome.txt", 0, "", Data(kLayout)},
        {"a.txt", 1, "", Data(std::string(300, 'a'))},
    };
    for (const auto& r : records) {
      for (auto& e : entries) {
        if (e.name == r.name) e = r;
      }
    }
    test::WriteAll(dir_ / "stub.exe", test::FakeProgram(64));
    ASSERT_EQ(builder::WriteSetup(path_, dir_ / "stub.exe", entries, {1, {}}), "");
    good_ = test::ReadAll(path_);
  }
  int Run(std::vector<std::u16string>* boxes = nullptr) {
    SetupContext ctx;
    CountingFrontEnd fe;
    StartupEnvironment env;
    env.program_path = path_;
    env.report_error = [this](SetupContext&, const std::string&, const std::string&) { ++reports_; };
    const int code = RunEngine(ctx, fe, env);
    if (boxes != nullptr) *boxes = fe.boxes;
    return code;
  }
  int Verify(std::string* out = nullptr) {
    std::ostringstream o, e;
    const int code = tool::RunZq({"verify", path_}, o, e);
    if (out != nullptr) *out = o.str() + e.str();
    return code;
  }
  test::TempDir dir_;
  std::string path_ = dir_ / "setup.exe";
  std::string good_;
  int reports_ = 0;
};

TEST_F(StartupDamageTest, EveryDamageIsRefusedByStartUpAndByVerify) {
  Build();
  ASSERT_EQ(Run(), kExitInstalled);
  ASSERT_EQ(Verify(), 0);
  std::size_t data_start = 0, dir_offset = 0;
  {
    TPak layout(path_);
    ASSERT_TRUE(layout.HasDigest());
    data_start = layout.Header().DataStart, dir_offset = layout.Header().DirOffset;
  }
  std::vector<std::pair<std::string, std::string>> copies;  // what was done, the damaged file
  for (std::size_t pos = data_start; pos < good_.size(); pos += pos < dir_offset ? 5 : 1) {
    for (unsigned char mask : {0x01, 0x80, 0xFF}) {
      std::string bad = good_;
      bad[pos] = static_cast<char>(bad[pos] ^ mask);
      copies.emplace_back("byte " + std::to_string(pos) + " ^ " + std::to_string(mask), bad);
    }
  }
  for (std::size_t cut = 0; cut < good_.size(); cut += cut < dir_offset ? 13 : 1) {
    copies.emplace_back("cut at " + std::to_string(cut), good_.substr(0, cut));
  }
  ASSERT_GT(copies.size(), 3 * (good_.size() - dir_offset));
  for (const auto& [what, bytes] : copies) {
    test::WriteAll(path_, bytes);
    EXPECT_EQ(Run(), kExitRefused) << what;
    EXPECT_EQ(Verify(), 1) << what;
  }
  EXPECT_EQ(reports_, 0);
  EXPECT_FALSE(platform::DirectoryExists(dir_ / "Target"));
}

// Each record stored with a sound CRC but unreadable: start-up refuses it with its message
// (never the error report), and zq verify names the rule.
TEST_F(StartupDamageTest, RecordsThatDoNotParseAreRefused) {
  const struct {
    builder::PlannedEntry record;
    const char16_t* box;
    const char* verify;
  } cases[] = {
      {{"SetupInfo", 0, "", Data("short")}, u"Error: Setup Information Missing. Setup is corrupt", "setup record: "},
      {{"CompiledLines", 0, "", Data(std::string("\x05\0\0\0", 4))}, u"Setup is corrupt", "compiled script: "},
      {{"LANGUAGE-English", 0, "", Data(test::LanguageTable(u"Bad", "zz;", {}))},
       u"Error: Language Table Damaged. Setup is corrupt\rFilename: LANGUAGE-English",
       "language table \"LANGUAGE-English\": "},
      {{"Pages.txt", 0, "", Data("[Pages]\r\nwelcome.txt\r\n[Settings]\r\ncolour=blue\r\n")},
       u"Error: Page Files Damaged. Setup is corrupt\rPages.txt, line 4: ",
       "page files: Pages.txt, line 4: "},
      {{"welcome.txt", 0, "", Data("[a]\r\nType=TLabel\r\n[a]\r\nType=TLabel\r\n")},
       u"Error: Page Files Damaged. Setup is corrupt\rwelcome.txt, line 3: ",
       "page files: welcome.txt, line 3: "},
      {{"welcome.txt", 0, "", Data("[a]\r\nType=TLabel\r\ncaption=<LANG1\r\n")},
       u"Error: Page Files Damaged. Setup is corrupt\rwelcome.txt",
       "page files: welcome.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.record.name);
    Build({c.record});
    std::vector<std::u16string> boxes;
    EXPECT_EQ(Run(&boxes), kExitRefused);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(c.box), std::u16string::npos) << platform::WideToUtf8(boxes[0]);
    std::string out;
    EXPECT_EQ(Verify(&out), 1);
    EXPECT_NE(out.find(std::string("FAILED: ") + c.verify), std::string::npos) << out;
  }
  EXPECT_EQ(reports_, 0);
  EXPECT_FALSE(platform::DirectoryExists(dir_ / "Target"));
}

class ThrowingFrontEnd : public CountingFrontEnd {
 public:
  int RunWizard(SetupContext&) override { throw std::runtime_error("the wizard failed"); }
};

TEST_F(StartupDamageTest, AnExceptionEndsInTheErrorReport) {
  TSetupInfoFile info;
  info.SetupName = "Broken Wizard";
  info.SetupExeName = "setup.exe";
  info.InstallDir = dir_ / "Target";
  const auto record = info.Serialize();
  ASSERT_TRUE(test::WritePackage(path_, test::FakeProgram(64),
                                 {{"SetupInfo", 0, std::string(record.begin(), record.end())},
                                  {"CompiledLines", 0, std::string("\0\0", 2)},
                                  {"LANGUAGE-English", 0, test::LanguageTable(u"English", "0409;", {})}}));
  SetupContext ctx;
  ThrowingFrontEnd fe;
  std::string report;
  StartupEnvironment env;
  env.program_path = path_;
  env.arguments = {"/S", "/j", "user", "1.2.3.4"};
  env.report_error = [&](SetupContext& c, const std::string& message, const std::string& stage) {
    ErrorLogSystem system;
    system.Folder = dir_.path() + "\\";
    system.CpuSpeedMhz = [] { return 1234u; };
    system.OpenFile = [](const std::string&) {};
    report = WriteErrorLog(c, message, stage, env.arguments, system);
  };
  EXPECT_EQ(RunEngine(ctx, fe, env), kExitInternalError);
  ASSERT_EQ(report, dir_ / "ErrorLog0000.TXT");
  const std::string text = test::ReadAll(report);
  for (const char* line :
       {"General Info\r\n------------\r\n", "Setup Name             : Broken Wizard\r\n", "Pak Info\r\n--------\r\n",
        "ID                     : ZQPF\r\n", "Count                  : 3\r\n", "ErrorType              : Unknown\r\n",
        "Params                 : /S /j X X.X.X.X\r\n", "ParamCount             : 4\r\n",
        "CPU Speed              : 1234Mhz\r\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
  EXPECT_NE(text.find("ErrorText              : the wizard failed"), std::string::npos) << text;
}

}  // namespace
}  // namespace zq
