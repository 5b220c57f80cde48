// architecture and scope: what a script may write for each scope, what the scope implies, and
// the options the package carries to the engine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builder/script_compiler.h"
#include "container/entry_names.h"
#include "platform/files.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq::builder {
namespace {

class ScopeChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::CreateDir(dir_ / "stock");
    test::WriteAll(dir_ / "stock\\English.wri", test::LanguageTable(u"English", "0409;", {{21, u"Copying"}}));
  }
  CompileResult Compile(const std::string& script) {
    test::WriteAll(dir_ / "setup.zqs", "language English\nname Demo\n" + script + "\n");
    CompileOptions options;
    options.stock_language_dirs = {dir_ / "stock"};
    options.stock_page_dirs = {dir_ / "stock"};
    return CompileScript(dir_ / "setup.zqs", options);
  }
  test::TempDir dir_;
};

std::vector<std::string> Texts(const CompileResult& r) {
  std::vector<std::string> out;
  for (const auto& d : r.diagnostics.All()) out.push_back(FormatDiagnostic(d));
  return out;
}

std::string RunOptionsEntry(const CompileResult& r) {
  for (const auto& e : r.entries) {
    if (e.name == kRunOptionsEntry) return std::string(e.data.begin(), e.data.end());
  }
  return "(none)";
}

TEST_F(ScopeChecksTest, EachScopeAllowsWhatItMayWrite) {
  const struct {
    std::string script;                 // after "language English" and "name Demo"
    std::vector<std::string> expected;  // each diagnostic, as its text ends (none: builds clean)
  } cases[] = {
      {"scope machine\nwriteregstr HKLM Software\\Demo Dir $INSTDIR\ncreateshortcut $SMPROGRAMS\\D.lnk $INSTDIR\\d.exe "
       "\"\"\ninstalldir $PROGRAMFILES\\Demo",
       {}},
      {"scope machine\nwriteregstr HKCU Software\\Demo Dir $INSTDIR\ninstalldir $PROGRAMFILES\\Demo",
       {"setup.zqs:4: warning: scope machine: HKCU is the account that runs the setup"}},
      {"scope user\nwriteregstr HKCU Software\\Demo Dir $INSTDIR\ncreatedirectory $LOCALAPPDATA\\Demo", {}},
      {"scope user\nwriteregstr HKLM Software\\Demo Dir $INSTDIR",
       {"setup.zqs:4: error: scope user writes nothing to HKLM"}},
      {"scope user\nwriteregstr hkcr demo x y", {"setup.zqs:4: error: scope user writes nothing to HKCR"}},
      {"scope user\nwriteregstr_url demo $INSTDIR\\d.exe $INSTDIR\\d.exe",
       {"setup.zqs:4: error: scope user writes nothing to HKCR"}},
      {"scope user\ninstalldir $PROGRAMFILES\\Demo",
       {"setup.zqs:4: error: scope user installs nothing in $PROGRAMFILES"}},
      {"scope user\ncopyfile $INSTDIR\\a $ProgramFiles64\\a",
       {"setup.zqs:4: error: scope user writes nothing to $PROGRAMFILES64 (copyfile)"}},
      {"scope user\ncreateshortcut $COMMONDESKTOP\\D.lnk $INSTDIR\\d.exe \"\"",
       {"error: scope user writes nothing to $COMMONDESKTOP"}},
      {"scope user\niffileexists $PROGRAMFILES\\Other\\o.exe 0 0", {}},  // reading is no writing
      {"executionlevel admin\nscope user",
       {"setup.zqs:3: error: scope user asks for no elevation; executionlevel admin"}},
      {"scope everyone\ninstalldir $PROGRAMFILES\\Demo",
       {"setup.zqs:3: error: scope must be machine or user, not \"everyone\""}},
      {"architecture arm64\ninstalldir $PROGRAMFILES\\Demo",
       {"setup.zqs:3: error: architecture must be x86 or x64, not \"arm64\""}},
  };
  for (const auto& c : cases) {
    const auto all = Texts(Compile(c.script));
    ASSERT_EQ(all.size(), c.expected.size()) << c.script << "\n" << (all.empty() ? "" : all[0]);
    for (std::size_t i = 0; i < all.size(); ++i) EXPECT_NE(all[i].find(c.expected[i]), std::string::npos) << all[i];
  }
}

TEST_F(ScopeChecksTest, TheOptionsReachThePackageAndUserScopeImpliesItsDefaults) {
  const struct {
    std::string script;
    std::string options;  // the RunOptions.txt entry
    std::string install_dir;
    ExecutionLevel level;
  } cases[] = {
      {"installdir $PROGRAMFILES\\Demo", "(none)", "$PROGRAMFILES\\Demo", ExecutionLevel::Admin},
      {"architecture x64\ninstalldir $PROGRAMFILES\\Demo", "architecture x64\r\n", "$PROGRAMFILES\\Demo",
       ExecutionLevel::Admin},
      {"architecture x86\nscope machine\nlockedfiles reboot\ninstalldir $PROGRAMFILES\\Demo",
       "lockedfiles reboot\r\nscope machine\r\n", "$PROGRAMFILES\\Demo", ExecutionLevel::Admin},
      {"scope user\nshortname \"Demo Tool\"", "scope user\r\n", "$LOCALAPPDATA\\Programs\\Demo Tool",
       ExecutionLevel::User},
      {"scope user\nexecutionlevel user\ninstalldir $LOCALAPPDATA\\D", "scope user\r\n", "$LOCALAPPDATA\\D",
       ExecutionLevel::User},
  };
  for (const auto& c : cases) {
    const CompileResult r = Compile(c.script);
    EXPECT_TRUE(Texts(r).empty()) << c.script << "\n" << (Texts(r).empty() ? "" : Texts(r)[0]);
    EXPECT_EQ(RunOptionsEntry(r), c.options) << c.script;
    EXPECT_EQ(r.info.InstallDir, c.install_dir) << c.script;
    EXPECT_EQ(r.program.level, c.level) << c.script;
  }
}

}  // namespace
}  // namespace zq::builder
