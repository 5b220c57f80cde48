// The program commands: checked at their lines, and written into the engine program's
// resources ahead of the package.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "builder/builder.h"
#include "builder/script_compiler.h"
#include "container/pak.h"
#include "container/pe_resources.h"
#include "container/program_resources.h"
#include "platform/files.h"
#include "script/comp_lines.h"
#include "support/sample_package.h"
#include "support/small_pe.h"
#include "support/temp_dir.h"

namespace zq::builder {
namespace {

class ProgramLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::CreateDir(dir_ / "stock");
    test::WriteAll(dir_ / "stock\\English.wri", test::LanguageTable(u"English", "0409;", {{21, u"Copying"}}));
    const auto ico = test::IcoFile({{16, 40}, {32, 80}});
    test::WriteAll(dir_ / "App.ico", std::string(ico.begin(), ico.end()));
  }
  std::vector<std::string> Diagnostics(const std::string& script) {
    test::WriteAll(dir_ / "setup.zqs", "language English\n" + script + "\ninstalldir $PROGRAMFILES\\Demo\n");
    CompileOptions options;
    options.stock_language_dirs = {dir_ / "stock"};
    options.stock_page_dirs = {dir_ / "stock"};
    std::vector<std::string> out;
    const CompileResult result = CompileScript(dir_ / "setup.zqs", options);
    for (const auto& d : result.diagnostics.All()) out.push_back(FormatDiagnostic(d));
    return out;
  }
  test::TempDir dir_;
};

TEST_F(ProgramLinesTest, EachMistakeIsReportedAtItsLine) {
  test::WriteAll(dir_ / "bad.ico", "not an icon");
  const struct {
    std::string script;    // after "language English", before an installdir
    std::string expected;  // the one diagnostic, as its text ends
  } cases[] = {
      {"executionlevel root", "setup.zqs:2: error: executionlevel must be admin, highest or user, not \"root\""},
      {"executionlevel", "setup.zqs:2: error: \"executionlevel\" takes 1 argument, 0 given"},
      {"icon missing.ico", "setup.zqs:2: error: icon file \"missing.ico\" not found beside the script"},
      {"icon bad.ico", "bad.ico: not an icon file"},
      {"version 1.0 2.0", "setup.zqs:2: error: \"version\" takes 1 argument, 2 given"},
      {"publisher A\npublisher B", "setup.zqs:3: warning: publisher overrides the publisher on line 2"},
      {"lockedfiles later", "setup.zqs:2: error: lockedfiles must be fail or reboot, not \"later\""},
      {"allowdowngrade yes", "setup.zqs:2: error: \"allowdowngrade\" takes 0 arguments, 1 given"},
  };
  for (const auto& c : cases) {
    const auto all = Diagnostics(c.script);
    ASSERT_EQ(all.size(), 1u) << c.script << "\n" << (all.empty() ? "" : all[0]);
    EXPECT_NE(all[0].find(c.expected), std::string::npos) << all[0];
  }
  EXPECT_TRUE(Diagnostics("executionlevel Highest\nversion 2.1\npublisher \"Example Ltd\"\nicon app.ico\n"
                          "lockedfiles reboot\nallowdowngrade")
                  .empty());
}

TEST_F(ProgramLinesTest, TheSetupCarriesTheResourcesAndStillItsPackage) {
  const auto stub = test::SmallPe();
  test::WriteAll(dir_ / "stub.exe", std::string(stub.begin(), stub.end()));
  // Labels keep their positions: the program lines take none.
  test::WriteAll(dir_ / "setup.zqs",
                 "language English\nname \"Demo Product\"\nversion 2.1.0\npublisher \"Example Ltd\"\n"
                 "executionlevel user\nicon App.ico\n:top\ngoto top\n");
  BuildOptions options;
  options.script = dir_ / "setup.zqs";
  options.output = dir_ / "Out.exe";
  options.stub = dir_ / "stub.exe";
  options.stock_language_dirs = {dir_ / "stock"};
  options.stock_page_dirs = {dir_ / "stock"};
  const BuildResult r = BuildSetup(options);
  ASSERT_TRUE(r.ok) << (r.diagnostics.empty() ? "" : FormatDiagnostic(r.diagnostics[0]));

  const ProgramDescription d = DescribeProgramFile(dir_ / "Out.exe");
  EXPECT_EQ(d.product_name, "Demo Product");
  EXPECT_EQ(d.description, "Demo Product Setup");
  EXPECT_EQ(d.version, "2.1.0");
  EXPECT_EQ(d.publisher, "Example Ltd");
  EXPECT_EQ(d.level, ExecutionLevel::User);
  EXPECT_TRUE(d.has_icon);

  TPak pak(dir_ / "Out.exe");
  ASSERT_TRUE(pak.HasValidHeader());
  auto lines = pak.ExtractByName("CompiledLines", 0);
  ASSERT_TRUE(lines.has_value());
  TCompLines compiled;
  ASSERT_TRUE(compiled.LoadFromBuffer(lines->data(), lines->size()));
  ASSERT_EQ(compiled.Lines.size(), 4u);  // language, name, the label, goto
  EXPECT_EQ(compiled.Lines[3].Args, std::vector<std::string>{"2"});
  // The version also travels in the package, where an engine without resources reads it.
  auto options_entry = pak.ExtractByName("RunOptions.txt", 0);
  ASSERT_TRUE(options_entry.has_value());
  EXPECT_EQ(std::string(options_entry->begin(), options_entry->end()), "version 2.1.0\r\n");
  EXPECT_EQ(test::ReadAll(dir_ / "stub.exe"), std::string(stub.begin(), stub.end()));  // the stub is left as it was
}

}  // namespace
}  // namespace zq::builder
