// Author mistakes that would otherwise stop the setup on the user's machine, reported by the
// build at their line instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "builder/builder.h"
#include "builder/script_compiler.h"
#include "platform/files.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq::builder {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;

class BuildChecksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* d : {"stock", "stock\\install", "stock\\uninstall", "pg", "un", "payload"}) {
      platform::CreateDir(dir_ / d);
    }
    test::WriteAll(dir_ / "stock\\English.wri", test::LanguageTable(u"English", "0409;", {{21, u"Copying"}}));
    test::WriteAll(dir_ / "stock\\uninstall\\English.wri",
                   test::LanguageTable(u"English", "0409;", {{26, u"Removal"}}));
    // A stock wizard with a change-log page, as the shipped one.
    test::WriteAll(dir_ / "stock\\install\\Pages.txt",
                   "[Pages]\r\nwelcome.txt\r\nlicense.txt\r\nchangelog.txt\r\nparts.txt\r\n"
                   "[PageTypes]\r\nWelcome\r\nLicense\r\nChangeLog\r\nComponents\r\n");
    test::WriteAll(dir_ / "stock\\install\\license.txt",
                   "[License_Text]\r\nType=TRichEdit\r\nfile=<%LICENSE%>\r\n[license_accept]\r\nType=TRadioButton\r\n");
    test::WriteAll(dir_ / "stock\\install\\parts.txt", "[Extras_Box]\r\nType=TCheckBox\r\n");
    test::WriteAll(dir_ / "stock\\install\\welcome.txt", "[Title]\r\nType=TLabel\r\ncaption=<LANG21>\r\n");
    test::WriteAll(dir_ / "stock\\install\\changelog.txt", "[Log]\r\nType=TRichEdit\r\nfile=<%CHANGELOG%>\r\n");
    test::WriteAll(dir_ / "un\\Pages.txt", "[Pages]\r\nbye.txt\r\n[PageTypes]\r\nFinish\r\n");
    test::WriteAll(dir_ / "un\\bye.txt", "[Bye]\r\nType=TLabel\r\n");
    test::WriteAll(dir_ / "payload\\a.txt", "a");
    test::WriteAll(dir_ / "changes.rtf", "{\\rtf1}");
  }
  CompileOptions Options() const {
    CompileOptions options;
    options.stock_language_dirs = {dir_ / "stock"};
    options.stock_page_dirs = {dir_ / "stock"};
    return options;
  }
  static std::vector<std::string> Formatted(const std::vector<Diagnostic>& all) {
    std::vector<std::string> out;
    for (const auto& d : all) out.push_back(FormatDiagnostic(d));
    return out;
  }
  test::TempDir dir_;
};

TEST_F(BuildChecksTest, EachMistakeIsReportedAtItsPlace) {
  const std::string pages = "[Pages]\r\npage.txt\r\n[PageTypes]\r\nWelcome\r\n";
  const std::string logged = "uninstallpages un\n";
  const struct {
    std::string script;  // after "language English", before an installdir
    Files files;
    std::string expected;  // the one diagnostic, as its text ends
  } cases[] = {
      // Layouts the engine's page parser rejects.
      {"pages pg",
       {{"pg\\Pages.txt", pages}, {"pg\\page.txt", "[a]\r\nType=TLabel\r\n[a]\r\nType=TEdit\r\n"}},
       "page.txt:3: error: a control named \"a\" already exists"},
      {"pages pg",
       {{"pg\\Pages.txt", pages}, {"pg\\page.txt", "[a]\r\nType=TLabel\r\nwidth=1x0\r\n"}},
       "page.txt:3: error: \"1x0\" is not an integer (width)"},
      {"pages pg",
       {{"pg\\Pages.txt", pages + "[Settings]\r\ncolour $GG\r\n"}, {"pg\\page.txt", "[a]\r\nType=TLabel\r\n"}},
       "Pages.txt:6: error: \"colour $GG\" does not give a colour"},
      {"pages pg",
       {{"pg\\Pages.txt", pages}, {"pg\\page.txt", "[a]\r\nType=TLabel\r\ncaption=<LANGG21>\r\n"}},
       "page.txt:3: error: bad language tag: language tag \"<LANGG21>\" does not hold an integer"},
      {"pages pg",
       {{"pg\\Pages.txt", pages}, {"pg\\page.txt", "[a]\r\nType=TKnob\r\n"}},
       "page.txt:2: warning: unknown control type \"TKnob\": the setup leaves the control out"},
      {"pages pg",
       {{"pg\\Pages.txt", pages}, {"pg\\page.txt", "[a]\r\nType=TImage\r\nfile=side.bmp\r\n"}},
       "page.txt:3: error: picture \"side.bmp\" not found"},
      {"pages pg",
       {{"pg\\Pages.txt", pages}, {"pg\\page.txt", "[a]\r\nType=TRichEdit\r\nfile=notes.rtf\r\n"}},
       "page.txt:3: error: rich-text file \"notes.rtf\" not found"},
      {"pages pg",
       {{"pg\\Pages.txt", pages}, {"pg\\page.txt", "[a]\r\nType=TRichEdit\r\nfile=<%CHANGELOG%>\r\n"}},
       "page.txt:3: warning: the page shows the change log but the script has no changelog"},
      // Language tags of the lines that expand them.
      {"message \"<LANGG21>\"", {}, "setup.zqs:2: error: bad language tag: language tag \"<LANGG21>\" does not hold"},
      {"message <LANG>", {}, "setup.zqs:2: error: bad language tag: language tag \"<LANG>\" does not hold an integer"},
      {"message \"<LANG 5>\"", {}, "setup.zqs:2: error: bad language tag: language tag \"<LANG 5>\" does not hold"},
      {"message <LANG21", {}, "setup.zqs:2: error: bad language tag: language tag \"<LANG21\" has no closing \">\""},
      // Components, licences and the boxes "ifchecked" asks.
      {"component \"a,b\" A", {}, "setup.zqs:2: error: component name \"a,b\" must be letters, digits"},
      {"component a A\ncomponent A B", {}, "setup.zqs:3: error: component \"A\" is already defined on line 2"},
      {"component a A maybe", {}, "setup.zqs:2: error: component state \"maybe\" is not on, off or fixed"},
      {"component a \"<LANGG1>\"", {}, "setup.zqs:2: error: bad language tag"},
      {"endcomponent", {}, "setup.zqs:2: warning: endcomponent without a component before it"},
      {"license lic.txt\nifchecked nobox 0",
       {{"lic.txt", "terms"}},
       "setup.zqs:3: error: the install pages have no check box or radio button \"nobox\" (they have license_accept)"},
      {"license missing.txt", {}, "setup.zqs:2: error: licence file \"missing.txt\" not found beside the script"},
      {"license lic.txt\npages pg",
       {{"lic.txt", "terms"},
        {"pg\\Pages.txt", "[Pages]\r\npage.txt\r\n[PageTypes]\r\nLicense\r\n"},
        {"pg\\page.txt", "[license_accept]\r\nType=TCheckBox\r\n"}},
       "Pages.txt: warning: a License page without a radio button named license_accept"},
      {"license German lic.txt", {{"lic.txt", "terms"}}, "setup.zqs:2: warning: no \"language German\" line"},
      // Registry roots and macros.
      {"writeregstr HKXX Software\\Demo v x",
       {},
       "setup.zqs:2: error: registry root \"HKXX\" is not one of HKLM, HKCU, HKCR, HKU, HKCC"},
      {"installdirregkey HKEY_CURRENT_USER k v", {}, "setup.zqs:2: error: registry root \"HKEY_CURRENT_USER\""},
      {"file payload sub HKCX k v x 1", {}, "setup.zqs:2: error: registry root \"HKCX\""},
      {"createdirectory $INSTDR\\saves", {}, "setup.zqs:2: warning: \"$INSTDR\" is not a known macro"},
      // Conditions.
      {"ifexitcode 30l0 end\n:end", {}, "setup.zqs:2: error: exit code \"30l0\" is not a number"},
      {"ifexitcode 4294967296 end\n:end", {}, "setup.zqs:2: error: exit code \"4294967296\" is not a number"},
      {"ifregexists HKCU Software\\Demo v w end\n:end",
       {},
       "setup.zqs:2: error: \"ifregexists\" takes 3 or 4 arguments, 5 given"},
      {"ifregexists HKXX Software\\Demo end\n:end", {}, "setup.zqs:2: error: registry root \"HKXX\""},
      {"ifregexists HKCU Software\\Demo v end\n:end\n:end",
       {},
       "setup.zqs:4: warning: label \"end\" is also defined on line 3; a jump of goto, ifexitcode, ifregexists, ifequal, ifnotequal, ifversion, ifwindows, ifmachine, ifadmin and "
       "ifsilent goes to the first, of iffileexists, messagebox and ifchecked to the last"},
      // The uninstall log of an earlier installation.
      {logged, {}, "setup.zqs: warning: no uninstalllogload of the installation folder"},
      {logged + "file payload\nuninstalllogload $INSTDIR\\",
       {},
       "setup.zqs:4: warning: uninstalllogload replaces what the lines before it recorded for the uninstaller (line 3)"},
      {logged + "prefix widget\nuninstalllogload $INSTDIR widgets",
       {},
       "setup.zqs:4: warning: uninstalllogload finds widgets_install.log, a log this setup never writes (it writes "
       "widget_install.log)"},
      {logged + "uninstalllogload $INSTDIR widget", {}, "finds widget_install.log, a log this setup never writes"},
  };
  for (const auto& c : cases) {
    for (const auto& [name, text] : c.files) test::WriteAll(dir_ / name, text);
    test::WriteAll(dir_ / "setup.zqs", "language English\n" + c.script + "\ninstalldir $PROGRAMFILES\\Demo\n");
    const auto all = Formatted(CompileScript(dir_ / "setup.zqs", Options()).diagnostics.All());
    ASSERT_EQ(all.size(), 1u) << c.script << "\n" << (all.empty() ? "" : all[0] + "\n" + all.back());
    EXPECT_NE(all[0].find(c.expected), std::string::npos) << all[0];
    for (const auto& f : c.files) platform::DeleteFileAt(dir_ / f.first);
  }
  // The same lines written right draw nothing.
  test::WriteAll(dir_ / "setup.zqs",
                 "language English\ninstalldir $PROGRAMFILES\\Demo\n" + logged +
                     "prefix Demo\nuninstalllogload $INSTDIR Demo\nuninstalllogload $INSTDIR "
                     "demo_\nuninstalllogload $INSTDIR\\saves copy\nuninstalllogsave "
                     "$INSTDIR\\saves copy_\nmessage \"<LANG21> <LANG-3>\"\n"
                     "writeregstr hkcu Software\\Demo v \"$INSTALLDIR $5 $cddrive\"\n"
                     "file payload sub HKCU k v x 1\n"
                     "createshortcut $Desktop\\Demo.lnk $APPDATA\\Demo\\demo.exe \"\"\n"
                     "ifexitcode -1 a\nifexitcode 0xFFFFFFFF a\nifexitcode 3010 a\n"
                     "ifregexists HKLM Software\\Demo b\nifregexists HKLM Software\\Demo \"\" b\n:a\n:b\n");
  EXPECT_TRUE(CompileScript(dir_ / "setup.zqs", Options()).diagnostics.All().empty());
}

// A setup with no folder to propose refuses to start unless /D= names one: the build says so.
TEST_F(BuildChecksTest, AScriptWithoutAnInstallationFolderIsWarnedOf) {
  const std::string warned = "setup.zqs: warning: the script has no installdir: the setup installs only with /D=folder";
  const struct {
    std::string script;    // after "language English"
    std::string expected;  // the one diagnostic, as its text ends (empty: builds clean)
  } cases[] = {
      {"", warned},
      {"installdir $PROGRAMFILES\\Demo", ""},
      {"scope user", ""},  // its default folder
      {"installdirregkey HKCU Software\\Demo Dir",
       warned + " or over an installation its installdirregkey value names"},
      {"installdirregkey HKCU Software\\Demo Dir\ninstalldir $PROGRAMFILES\\Demo", ""},
  };
  for (const auto& c : cases) {
    test::WriteAll(dir_ / "setup.zqs", "language English\n" + c.script + "\n");
    const auto all = Formatted(CompileScript(dir_ / "setup.zqs", Options()).diagnostics.All());
    ASSERT_EQ(all.size(), c.expected.empty() ? 0u : 1u) << c.script << "\n" << (all.empty() ? "" : all[0]);
    if (!all.empty()) {
      EXPECT_TRUE(all[0].ends_with(c.expected)) << all[0];
    }
  }
}

// The stock wizard without a change log to show leaves its change-log page out, instead of
// a "Rich Edit Error" box and an empty page.
TEST_F(BuildChecksTest, TheStockChangeLogPageIsLeftOutWithoutAChangelog) {
  for (const bool with_log : {false, true}) {
    test::WriteAll(dir_ / "setup.zqs", std::string("language English\ninstalldir $PROGRAMFILES\\Demo\n") +
                                           (with_log ? "changelog changes.rtf\n" : ""));
    const CompileResult r = CompileScript(dir_ / "setup.zqs", Options());
    EXPECT_TRUE(r.diagnostics.All().empty()) << FormatDiagnostic(r.diagnostics.All()[0]);
    std::vector<std::string> names;
    std::string list;
    for (const auto& e : r.entries) {
      names.push_back(e.name);
      if (e.name == "Pages.txt") list.assign(e.data.begin(), e.data.end());
    }
    const std::vector<std::string> pages = {"Pages.txt", "welcome.txt", "changelog.txt", "changes.rtf"};
    EXPECT_EQ(std::vector<std::string>(names.begin() + 3, names.end()),
              with_log ? pages : std::vector<std::string>(pages.begin(), pages.begin() + 2));
    EXPECT_EQ(list, with_log ? "[Pages]\r\nwelcome.txt\r\nchangelog.txt\r\n[PageTypes]\r\nWelcome\r\nChangeLog\r\n"
                             : "[Pages]\r\nwelcome.txt\r\n[PageTypes]\r\nWelcome\r\n");
  }
}

// Components get their state, description, the size of their files and their last line; the
// licence is packed for its language; the stock pages for them stay only when they have
// something to show.
TEST_F(BuildChecksTest, ComponentsAndLicencesFillTheirLinesAndKeepTheirPages) {
  test::WriteAll(dir_ / "payload\\b.txt", "bbb");
  test::WriteAll(dir_ / "extra.txt", "12345");
  test::WriteAll(dir_ / "lic.rtf", "{\\rtf1 terms}");
  test::WriteAll(dir_ / "lizenz.txt", "Gew\xC3\xA4hr\nfrei");
  const std::string script =
      "language English\nlicense lic.rtf\nlicense English lizenz.txt\ncomponent base \"Base <LANG21>\" FIXED \"The game\"\n"
      "file payload\ncomponent extras Extras off\nfile extra.txt\nendcomponent\nifchecked EXTRAS_BOX done\n"
      ":done\nrunafter $INSTDIR\\game.exe -w \"a b\"\ninstalldir $PROGRAMFILES\\Demo\n";
  for (const bool offered : {true, false}) {
    test::WriteAll(dir_ / "setup.zqs", offered ? script : "language English\ninstalldir $PROGRAMFILES\\Demo\n");
    const CompileResult r = CompileScript(dir_ / "setup.zqs", Options());
    ASSERT_TRUE(r.diagnostics.All().empty()) << FormatDiagnostic(r.diagnostics.All()[0]);
    std::vector<std::string> names;
    for (const auto& e : r.entries) names.push_back(e.name);
    const auto has = [&](const char* name) { return std::find(names.begin(), names.end(), name) != names.end(); };
    EXPECT_EQ(has("license.txt"), offered);
    EXPECT_EQ(has("parts.txt"), offered);
    EXPECT_EQ(has("LICENSE"), offered);
    EXPECT_EQ(has("LICENSE-English"), offered);
    if (!offered) continue;
    const auto& lines = r.lines.Lines;
    const std::vector<std::vector<std::string>> expected = {{"LICENSE", "", "lic.rtf"},
                                                            {"LICENSE-English", "English", "lizenz.txt"},
                                                            {"base", "Base <LANG21>", "fixed", "The game", "4", "4"},
                                                            {"extras", "Extras", "off", "", "5", "7"}};
    EXPECT_EQ(lines[1].Args, expected[0]);
    EXPECT_EQ(lines[2].Args, expected[1]);
    EXPECT_EQ(lines[3].Args, expected[2]);  // a.txt and b.txt
    EXPECT_EQ(lines[5].Args, expected[3]);  // its end is the endcomponent line
    EXPECT_EQ(lines[8].Args, (std::vector<std::string>{"EXTRAS_BOX", "9"}));
    // Plain text is packed as text (line breaks as the engine reads them, its encoding settled
    // with the page files'); rich text as it is.
    for (const auto& e : r.entries) {
      if (e.name == "LICENSE-English") {
        EXPECT_TRUE(e.text);
        EXPECT_EQ(std::string(e.data.begin(), e.data.end()), "Gew\xC3\xA4hr\r\nfrei");
      } else if (e.name == "LICENSE") {
        EXPECT_FALSE(e.text);
      }
    }
    EXPECT_EQ(lines[10].Args, (std::vector<std::string>{"$INSTDIR\\game.exe", "-w \"a b\""}));
  }
}

// A setup named like a Windows program but made from another system's engine does not start
// where its name says it would; the build still succeeds (the host's own tests make such setups).
TEST_F(BuildChecksTest, AWindowsNameOnAnotherSystemsEngineIsAWarning) {
  test::WriteAll(dir_ / "setup.zqs", "language English\ninstalldir $PROGRAMFILES\\Demo\n");
  for (const auto& [stub_bytes, warned] : {std::pair<std::string, bool>{"\x7f"
                                                                        "ELF....",
                                                                        true},
                                           {"MZ......", false}}) {
    test::WriteAll(dir_ / "stub", stub_bytes);
    BuildOptions options;
    options.script = dir_ / "setup.zqs";
    options.output = dir_ / "Out.exe";
    options.stub = dir_ / "stub";
    options.stock_language_dirs = {dir_ / "stock"};
    options.stock_page_dirs = {dir_ / "stock"};
    const BuildResult r = BuildSetup(options);
    EXPECT_TRUE(r.ok);
    const auto all = Formatted(r.diagnostics);
    ASSERT_EQ(all.size(), warned ? 1u : 0u);
    if (warned) EXPECT_NE(all[0].find("stub: warning: the engine program is not a Windows program"), std::string::npos);
  }
}

}  // namespace
}  // namespace zq::builder
