// The decisions' words checked at build time, the variables declared, and what a setup that
// decides needs of its engine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builder/compile_state.h"

namespace zq::builder::compile {
namespace {

TEST(CompileDecisions, WordsAreCheckedAndVariablesDeclared) {
  const struct {
    std::string script;
    std::vector<std::string> diagnostics;  // of the decisions and the arguments
    bool needs;
  } cases[] = {
      {"var Edition\nset edition \"pro $INSTDIR\"\nmessage $EDITION", {}, true},
      {"message $EDITION",
       {"setup.zqs:1: warning: \"$EDITION\" is not a known macro ($INSTDIR, $INSTALLDIR, "
        "$SMPROGRAMS, $PROGRAMFILES32, $PROGRAMFILES64, $PROGRAMFILES, $CDDRIVE, $DESKTOP, "
        "$APPDATA, $LOCALAPPDATA, $COMMONAPPDATA, $COMMONSMPROGRAMS, $COMMONDESKTOP) or a "
        "variable declared with var; the setup uses it as written"},
       false},
      {"var 9lives",
       {"setup.zqs:1: error: variable name \"9lives\" must be letters, digits and \"_\", a letter first"},
       true},
      {"var instdir", {"setup.zqs:1: error: variable name \"instdir\" is the name of a macro"}, true},
      {"ifversion 1.2 == 1.3 x\n:x", {"setup.zqs:1: error: comparison \"==\" is not one of <, <=, =, >=, >, <>"}, true},
      {"ifwindows >= ten x\n:x", {"setup.zqs:1: error: Windows version \"ten\" is not a dotted version"}, true},
      {"ifmachine ia64 x\n:x", {"setup.zqs:1: error: processor \"ia64\" is not one of x86, x64, arm64"}, true},
      {"ifmachine ARM64 x\n:x\nifsilent x", {}, true},
  };
  for (const auto& c : cases) {
    const CompileOptions options;
    State s("setup.zqs", options);
    ReadLines(s, c.script);
    const std::size_t read = s.diags().All().size();
    Decisions(s);
    CheckArguments(s);
    std::vector<std::string> reported;
    for (std::size_t i = read; i < s.diags().All().size(); ++i)
      reported.push_back(FormatDiagnostic(s.diags().All()[i]));
    EXPECT_EQ(reported, c.diagnostics) << c.script;
    EXPECT_EQ(s.result.program.run.Needs, c.needs ? std::vector<std::string>{"decisions"} : std::vector<std::string>{})
        << c.script;
  }
}

}  // namespace
}  // namespace zq::builder::compile
