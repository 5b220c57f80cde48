// The preprocessor: which lines the compiler gets, and where every diagnostic says they were
// written, across included files.
#include "builder/preprocessor.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "builder/build_paths.h"
#include "builder/script_compiler.h"
#include "builder/script_syntax.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace zq::builder {
namespace {

using Files = std::vector<std::pair<std::string, std::string>>;  // name below the folder, bytes

CompileOptions StockOptions() {
  CompileOptions options;
  options.stock_language_dirs = StockLanguageDirs();
  options.stock_page_dirs = StockPageDirs();
  return options;
}

class PreprocessorTest : public ::testing::Test {
 protected:
  // Writes the files and preprocesses the first.
  PreprocessedScript Run(const Files& files, const Defines& defines = {}) {
    for (const auto& [name, bytes] : files) {
      if (auto slash = name.find('\\'); slash != std::string::npos) platform::CreateDir(dir_ / name.substr(0, slash));
      test::WriteAll(dir_ / name, bytes);
    }
    return PreprocessScript(dir_ / files.front().first, defines);
  }
  // The text with the test's folder left out of every path.
  std::string Local(std::string text) const {
    const std::string prefix = dir_.path() + "\\";
    for (std::size_t at; (at = text.find(prefix)) != std::string::npos;) text.erase(at, prefix.size());
    return text;
  }
  // Each line the compiler gets that is not blank, as "file:line text".
  std::vector<std::string> Taken(const PreprocessedScript& r) const {
    const auto lines = SplitScriptLines(r.text);
    EXPECT_EQ(lines.size(), r.origins.size());
    std::vector<std::string> out;
    for (std::size_t i = 0; i < lines.size() && i < r.origins.size(); ++i) {
      if (lines[i].empty()) continue;
      out.push_back(Local(r.origins[i].file) + ":" + std::to_string(r.origins[i].line) + " " + lines[i]);
    }
    return out;
  }
  std::vector<std::string> Texts(const std::vector<Diagnostic>& all) const {
    std::vector<std::string> out;
    for (const auto& d : all) out.push_back(Local(FormatDiagnostic(d)));
    return out;
  }
  test::TempDir dir_;
};

TEST_F(PreprocessorTest, GivesTheCompilerTheLinesTakenWithWhereTheyWereWritten) {
  const struct {
    const char* what;
    Files files;
    Defines defines;
    std::vector<std::string> taken;
  } cases[] = {
      {"a value stays one argument, a comment is not expanded, $${ is a literal ${",
       {{"main.zqs",
         "!define APP \"Demo Game\"\n!define Q \"say \"\"hi\"\"\"\nname ${APP}\n:${APP}\nmessage \"${Q} $${APP}\" ; "
         "${NOPE}\n; ${NOPE}\n"}},
       {},
       {"main.zqs:3 name \"Demo Game\"", "main.zqs:4 :\"Demo Game\"", "main.zqs:5 message \"say \"\"hi\"\" ${APP}\"",
        "main.zqs:6 ; ${NOPE}"}},
      {"nested conditionals with both names given",
       {{"main.zqs",
         "!ifdef PRO\nname Pro\n!ifndef TRIAL\nmessage full\n!else\nmessage trial\n!endif\n!else\nname "
         "${NOPE}\n!endif\n"}},
       {{"PRO", ""}, {"TRIAL", ""}},
       {"main.zqs:2 name Pro", "main.zqs:6 message trial"}},
      {"the conditionals of a branch not taken still nest; its lines are not read",
       {{"main.zqs",
         "!ifdef PRO\n!ifndef TRIAL\n!error \"${NOPE}\"\n!else\nmessage trial\n!endif\n!else\nname Free\n!endif\n"}},
       {},
       {"main.zqs:8 name Free"}},
      {"the command line's value over the script's; !undef removes a name",
       {{"main.zqs",
         "!define EDITION Free\n!define GONE 1\n!undef GONE\nname ${EDITION}\n!ifndef GONE\nmessage "
         "gone\n!endif\n"}},
       {{"EDITION", "Pro"}},
       {"main.zqs:4 name Pro", "main.zqs:6 message gone"}},
      {"a command line value that is not UTF-8 is read as Windows-1252, as a script is",
       {{"main.zqs", "name ${V}\n"}},
       {{"V", "Caf\xE9"}},
       {"main.zqs:1 name Caf\xC3\xA9"}},
      {"the script's value without the command line",
       {{"main.zqs", "!define EDITION Free\nname ${EDITION}\n"}},
       {},
       {"main.zqs:2 name Free"}},
      {"an include is found from the including file's folder, without regard to case, and named as written",
       {{"main.zqs", "name Demo\n!include Inc\\COMMON.zqs\nmessage ${WHERE}\n"},
        {"inc\\common.zqs", "!define WHERE inc\nmessage ${WHERE}\n!include parts.zqs\n"},
        {"inc\\parts.zqs", "message part\n"}},
       {},
       {"main.zqs:1 name Demo", "Inc\\COMMON.zqs:2 message inc", "Inc\\parts.zqs:1 message part",
        "main.zqs:3 message inc"}},
      {"each file in its own encoding",
       {{"main.zqs", "name Caf\xE9\r\n!include u.zqs\r\n"}, {"u.zqs", "\xEF\xBB\xBFmessage \xC3\xA9t\xC3\xA9\n"}},
       {},
       {"main.zqs:1 name Caf\xC3\xA9", "u.zqs:1 message \xC3\xA9t\xC3\xA9"}},
  };
  for (const auto& c : cases) {
    const auto result = Run(c.files, c.defines);
    EXPECT_EQ(Texts(result.diagnostics.All()), std::vector<std::string>{}) << c.what;
    EXPECT_EQ(Taken(result), c.taken) << c.what;
  }
}

TEST_F(PreprocessorTest, ReportsEachProblemWhereItWasWritten) {
  const struct {
    Files files;
    Defines defines;
    std::vector<std::string> expected;
  } cases[] = {
      {{{"main.zqs", "name ${NOPE}\n"}}, {}, {"main.zqs:1: error: ${NOPE} is not defined"}},
      {{{"main.zqs", "message \"${A\"\n"}},
       {},
       {"main.zqs:1: error: \"${\" without a closing \"}\" (write \"$${\" for a literal \"${\")"}},
      {{{"main.zqs", "!include b.zqs\n"}, {"b.zqs", "name Demo\nmessage ${NOPE}\n"}},
       {},
       {"b.zqs:2: error: ${NOPE} is not defined"}},
      {{{"main.zqs", "!include b.zqs\n!endif\n"}, {"b.zqs", "\n!ifdef X\n"}},
       {},
       {"b.zqs:2: error: !ifdef X without !endif", "main.zqs:2: error: !endif without !ifdef or !ifndef"}},
      {{{"main.zqs", "!ifndef X\n!else\n!else\n!endif\n!else\n"}},
       {},
       {"main.zqs:3: error: a second !else for the !ifndef X at main.zqs:1",
        "main.zqs:5: error: !else without !ifdef or !ifndef"}},
      {{{"main.zqs", "name Demo\n\n!include b.zqs\n"}, {"b.zqs", "!include c.zqs\n"}, {"c.zqs", "!include main.zqs\n"}},
       {},
       {"c.zqs:1: error: include cycle: main.zqs:3 includes b.zqs, b.zqs:1 includes c.zqs, c.zqs:1 includes "
        "main.zqs"}},
      {{{"main.zqs", "!include b.zqs\n"}, {"b.zqs", "!include b.zqs\n"}},
       {},
       {"b.zqs:1: error: include cycle: b.zqs:1 includes b.zqs"}},
      {{{"main.zqs", "\n!include missing.zqs\n"}},
       {},
       {"main.zqs:2: error: included file \"missing.zqs\" not found beside main.zqs"}},
      {{{"main.zqs", "!warning \"check ${V}\"\n!include b.zqs\nname ${NOPE}\n"},
        {"b.zqs", "!error \"no ${V} here\"\n!ifdef A\n"}},
       {{"V", "x"}},
       {"main.zqs:1: warning: check x", "b.zqs:1: error: no x here"}},
      {{{"main.zqs", "!define A 1\n!define A 1\n!define A 2\n"}},
       {},
       {"main.zqs:3: warning: !define A replaces the value given at main.zqs:2 (!undef it first to say so)"}},
      {{{"main.zqs",
         "!define\n!define a-b\n!define A 1 2\n!undef A B\n!ifndef A\n!endif x\n!ifdef\n!endif\n!include\n"}},
       {},
       {"main.zqs:1: error: !define takes a name (letters, digits and \"_\") and a value, quoted when it holds blanks",
        "main.zqs:2: error: !define takes a name (letters, digits and \"_\") and a value, quoted when it holds blanks",
        "main.zqs:3: error: !define takes a name (letters, digits and \"_\") and a value, quoted when it holds blanks",
        "main.zqs:4: error: !undef takes one name (letters, digits and \"_\")",
        "main.zqs:6: error: !endif takes no arguments",
        "main.zqs:7: error: !ifdef takes one name (letters, digits and \"_\")",
        "main.zqs:9: error: !include takes one file"}},
      {{{"main.zqs", "!definee A\n! \n!define A \"x\n"}},
       {},
       {"main.zqs:1: error: unknown directive \"!definee\" (!define, !undef, !ifdef, !ifndef, !else, !endif, "
        "!include, !error, !warning)",
        "main.zqs:2: error: \"!\" without a directive", "main.zqs:3: error: missing closing quote"}},
      {{{"main.zqs", "name Demo\n"}}, {{"A", "x\ny"}}, {"zq: error: -D A: a value cannot hold a line break"}},
  };
  for (const auto& c : cases) {
    const auto result = Run(c.files, c.defines);
    EXPECT_EQ(Texts(result.diagnostics.All()), c.expected) << c.files.front().second;
  }
}

// What builds today builds the same: the compiler gets the same lines from the preprocessor as
// from the file.
TEST_F(PreprocessorTest, ScriptWithoutDirectivesCompilesAsBefore) {
  const char* const scripts[] = {
      "name Demo\r\nmessage \"caf\xE9\"\r\ninstalldir $PROGRAMFILES\\Demo\r\n",
      "\xEF\xBB\xBFname \"D\xC3\xA9mo\"\n:here\nmessage \"$ {x}\" ; loop\ngoto here\n",
      "name Demo\rmessage hi\r\n\n# comment\n  ; another\nbogus line\nmessage \"unclosed\n",
  };
  const CompileOptions options = StockOptions();
  for (const char* script : scripts) {
    test::WriteAll(dir_ / "setup.zqs", script);
    const CompileResult before = CompileSource(script, dir_ / "setup.zqs", options);
    auto pre = PreprocessScript(dir_ / "setup.zqs", {});
    CompileResult after = CompileSource(pre.text, dir_ / "setup.zqs", options);
    after.diagnostics.MapLines(dir_ / "setup.zqs", pre.origins);
    EXPECT_EQ(Texts(after.diagnostics.All()), Texts(before.diagnostics.All())) << script;
    ASSERT_EQ(after.entries.size(), before.entries.size()) << script;
    for (std::size_t i = 0; i < before.entries.size(); ++i) {
      EXPECT_EQ(after.entries[i].name, before.entries[i].name) << script;
      EXPECT_EQ(after.entries[i].data, before.entries[i].data) << script << " " << before.entries[i].name;
    }
  }
}

TEST_F(PreprocessorTest, CompilerDiagnosticsNameTheLineAsWritten) {
  auto pre = Run({{"main.zqs", "name Demo\n!include b.zqs\nbogus\n"}, {"b.zqs", "; shared\nunknown here\n"}});
  CompileResult compiled = CompileSource(pre.text, dir_ / "main.zqs", StockOptions());
  const auto origins = pre.origins;
  compiled.diagnostics.MapLines(dir_ / "main.zqs", pre.origins);
  const std::vector<std::string> expected = {"b.zqs:2: error: unknown command \"unknown\"",
                                             "main.zqs:3: error: unknown command \"bogus\""};
  auto errors = [&] {
    std::vector<std::string> out;
    for (const auto& d : compiled.diagnostics.All()) {
      if (d.severity == Diagnostic::Severity::Error) out.push_back(Local(FormatDiagnostic(d)));
    }
    return out;
  };
  EXPECT_EQ(errors(), expected);
  // A compiler that records the map before it reads leaves nothing to be told again.
  compiled.diagnostics.MapLines(dir_ / "main.zqs", origins);
  EXPECT_EQ(errors(), expected);
  compiled.diagnostics.Error(dir_ / "main.zqs", 4, "later");
  EXPECT_EQ(Local(FormatDiagnostic(compiled.diagnostics.All().back())), "b.zqs:2: error: later");
  EXPECT_EQ(Local(compiled.diagnostics.LineName(4)), "line 2 of b.zqs");
  EXPECT_EQ(Local(compiled.diagnostics.LineName(5)), "line 3 of main.zqs");

  Diagnostics one_file;
  one_file.MapLines("a.zqs", {{"a.zqs", 1}, {"a.zqs", 2}});
  EXPECT_EQ(one_file.LineName(2), "line 2");
}

TEST_F(PreprocessorTest, CompilerMessagesNameEarlierLinesAsWritten) {
  auto pre =
      Run({{"main.zqs", "name Demo\n!include b.zqs\nversion 2\n:top\ngoto top\n"}, {"b.zqs", "version 1\n:top\n"}});
  CompileOptions options = StockOptions();
  options.origins = pre.origins;
  const CompileResult compiled = CompileSource(pre.text, dir_ / "main.zqs", options);
  std::vector<std::string> mentions;  // each up to its explanation after "; "
  for (const auto& d : compiled.diagnostics.All()) {
    const std::string text = Local(FormatDiagnostic(d));
    if (text.find(" on line ") != std::string::npos) mentions.push_back(text.substr(0, text.find("; ")));
  }
  EXPECT_EQ(mentions, (std::vector<std::string>{
                          "main.zqs:3: warning: version overrides the version on line 1 of b.zqs",
                          "main.zqs:4: warning: label \"top\" is also defined on line 2 of b.zqs",
                      }));
}

}  // namespace
}  // namespace zq::builder
