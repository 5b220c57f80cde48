// The script's variables and decisions, each run as the worker runs its line.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/commands/script_test_support.h"
#include "engine/macros.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"

namespace zq {
namespace {

class DecisionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string table = test::LanguageTable(u"English", "0409;", {{23, u"Setup failed to install."}});
    ctx_.SetupToLoad().Languages.AddLanguage(table.data(), table.size());
    ctx_.Choices.InstallDir = dir_ / "Inst";
  }
  // Runs the one line; the line it jumps to, or -1.
  std::int32_t Run(const test::ScriptLine& line) {
    test::LoadScript(ctx_, {line});
    ctx_.Run.Variables = variables_;
    test::RunLine(ctx_, 0);
    variables_ = ctx_.Run.Variables;
    return ctx_.Run.CurrentLine;
  }
  std::string Var(const std::string& name) {
    const std::string* value = variables_.Find(name);
    return value != nullptr ? *value : "<unset>";
  }

  test::TempDir dir_;
  SetupContext ctx_;
  ScriptVariables variables_;
};

TEST_F(DecisionsTest, VariablesHoldWhatTheyAreSetToOrRead) {
  platform::Registry reg;
  reg.SetRoot(platform::kHkeyCurrentUser);
  ASSERT_TRUE(reg.OpenKey("Software\\zq decisions test", true));
  ASSERT_TRUE(reg.WriteString("Version", "14.38.33130"));
  reg.CloseKey();
  test::WriteAll(dir_ / "app.ini", "; settings\r\n[Other]\r\nport=1\r\n[Net]\r\n Port = 8080 \r\n");
#ifdef _WIN32
  _putenv_s("ZQ_DECISIONS_TEST", "from the environment");
#else
  ::setenv("ZQ_DECISIONS_TEST", "from the environment", 1);
#endif
  const struct {
    test::ScriptLine line;
    const char* name;
    std::string value;
  } cases[] = {
      {{"var", {"Edition"}}, "EDITION", ""},
      {{"set", {"edition", "pro in $INSTDIR"}}, "EDITION", "pro in " + dir_ / "Inst"},
      {{"set", {"Label", "$EDITION!"}}, "LABEL", "pro in " + dir_ / "Inst" + "!"},  // one variable in another
      {{"var", {"edition"}}, "EDITION", "pro in " + dir_ / "Inst"},                 // a declaration keeps it
      {{"readregstr", {"Runtime", "HKCU", "Software\\zq decisions test", "Version"}}, "RUNTIME", "14.38.33130"},
      {{"readregstr", {"Missing", "HKCU", "Software\\zq decisions test", "Nothing"}}, "MISSING", ""},
      {{"readenv", {"Env", "ZQ_DECISIONS_TEST"}}, "ENV", "from the environment"},
      {{"readini", {"Port", dir_ / "app.ini", "net", "port"}}, "PORT", "8080"},
      {{"readini", {"NoPort", dir_ / "app.ini", "Net", "host"}}, "NOPORT", ""},
      {{"fileversion", {"NoVersion", dir_ / "app.ini"}}, "NOVERSION", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.line), -1) << c.line.keyword;
    EXPECT_EQ(Var(c.name), c.value) << c.line.keyword << " " << c.name;
  }
  EXPECT_EQ(ExpandMacrosAnsi(ctx_, "$RUNTIME/$UNDECLARED"), "14.38.33130/$UNDECLARED");
}

TEST_F(DecisionsTest, EachConditionJumpsOnlyWhenItHolds) {
  variables_.Set("V", "14.38.33130");
  ctx_.Choices.Silent = true;
  const std::string windows = platform::RunningWindowsVersion();
  const struct {
    test::ScriptLine line;
    bool jumps;
  } cases[] = {
      {{"ifequal", {"ABC", "abc", "7"}}, true},
      {{"ifequal", {"$V", "14.38", "7"}}, false},
      {{"ifnotequal", {"$V", "14.38", "7"}}, true},
      {{"ifversion", {"$V", ">=", "14.36", "7"}}, true},
      {{"ifversion", {"$V", "<", "14.9", "7"}}, false},  // numbers, not text
      {{"ifversion", {"", "<", "1", "7"}}, false},       // nothing read is no version
      {{"ifwindows", {">=", windows, "7"}}, true},
      {{"ifwindows", {"<", windows, "7"}}, false},
      {{"ifmachine", {platform::MachineArchitecture(), "7"}}, true},
      {{"ifmachine", {"arm64x", "7"}}, false},
      {{"ifsilent", {"7"}}, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.line), c.jumps ? 7 : -1) << c.line.keyword << " " << c.line.args[0];
  }
  ctx_.Choices.Silent = false;
  EXPECT_EQ(Run({"ifsilent", {"7"}}), -1);
}

}  // namespace
}  // namespace zq
