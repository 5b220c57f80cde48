// The component and runafter lines as the engine reads them, written out from the lines alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builder/compile_state.h"

namespace zq::builder::compile {
namespace {

using Args = std::vector<std::string>;

std::vector<std::string> Texts(const Diagnostics& d) {
  std::vector<std::string> out;
  for (const auto& x : d.All()) out.push_back(FormatDiagnostic(x));
  return out;
}

TEST(CompileLines, AComponentEndsAtItsEndcomponentTheNextComponentOrTheScriptsEnd) {
  const struct {
    std::string script;
    std::vector<std::int64_t> files_size;  // per line, as the groups pass leaves them
    std::vector<Args> expected;            // the component lines' arguments, in order
  } cases[] = {
      {"component a A\nfile x\nfile y", {0, 10, 20}, {{"a", "A", "on", "", "30", "2"}}},
      {"component a A off d\nfile x\ncomponent b B fixed\nfile y",
       {0, 10, 0, 5},
       {{"a", "A", "off", "d", "10", "1"}, {"b", "B", "fixed", "", "5", "3"}}},
      {"component a A ON\nfile x\nendcomponent\nfile y", {0, 10, 0, 20}, {{"a", "A", "on", "", "10", "2"}}},
      {"component a A \"\"\n:in\nfile x\ngoto in", {0, 0, 7, 0}, {{"a", "A", "on", "", "7", "3"}}},
      {"file x\ncomponent a A\nendcomponent", {9, 0, 0}, {{"a", "A", "on", "", "0", "2"}}},
  };
  for (const auto& c : cases) {
    const CompileOptions options;
    State s("setup.zqs", options);
    ReadLines(s, c.script);
    ASSERT_EQ(s.lines.size(), c.files_size.size()) << c.script;
    for (std::size_t i = 0; i < s.lines.size(); ++i) s.lines[i].files_size = c.files_size[i];
    Components(s);
    std::vector<Args> got;
    for (const Pending& p : s.lines) {
      if (!p.is_label && std::string(p.command.keyword) == "component") got.push_back(p.args);
    }
    EXPECT_EQ(got, c.expected) << c.script;
    EXPECT_TRUE(s.has_components);
    EXPECT_TRUE(s.diags().All().empty()) << c.script << "\n" << Texts(s.diags())[0];
  }
}

TEST(CompileLines, RunafterJoinsTheWordsAfterTheProgramIntoOneCommandLine) {
  const struct {
    std::string script;
    Args expected;  // the last runafter line's arguments
    std::vector<std::string> diagnostics;
  } cases[] = {
      {"runafter p.exe", {"p.exe"}, {}},
      {"runafter p.exe \"-w a b\"", {"p.exe", "-w a b"}, {}},  // one argument is the command line as it is
      {"runafter p.exe -w \"a b\"", {"p.exe", "-w \"a b\""}, {}},
      {"runafter p.exe \"\" \"a\tb\" c", {"p.exe", "\"\" \"a\tb\" c"}, {}},
      {"runafter a.exe\nrunafter b.exe x y",
       {"b.exe", "x y"},
       {"setup.zqs:2: warning: runafter overrides the runafter on line 1"}},
  };
  for (const auto& c : cases) {
    const CompileOptions options;
    State s("setup.zqs", options);
    ReadLines(s, c.script);
    RunAfter(s);
    ASSERT_FALSE(s.lines.empty());
    EXPECT_EQ(s.lines.back().args, c.expected) << c.script;
    EXPECT_EQ(Texts(s.diags()), c.diagnostics) << c.script;
  }
}

}  // namespace
}  // namespace zq::builder::compile
