// zq build and zq script as an author runs them.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/files.h"
#include "support/sample_package.h"
#include "support/temp_dir.h"
#include "tools/commands.h"

namespace zq::tool {
namespace {

struct Run {
  int code;
  std::string out, err;
};

Run Zq(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = RunZq(args, out, err);
  return {code, out.str(), err.str()};
}

TEST(BuildCommand, BuildsAndPrintsTheScriptBack) {
  test::TempDir dir;
  platform::CreateDir(dir / "data");
  test::WriteAll(dir / "data\\a.txt", "a");
  test::WriteAll(dir / "stub.exe", test::FakeProgram(64));
  test::WriteAll(dir / "English.wri", test::LanguageTable(u"English", "0409;", {{1, u"Hi"}}));
  test::WriteAll(dir / "s.zqs", "name Demo\nlanguage English\n:again\nfile data\ngoto again\n");
  auto built = Zq({"build", dir / "s.zqs", "--stub", dir / "stub.exe", "-o", dir / "Demo.exe"});
  ASSERT_EQ(built.code, 0) << built.err;
  auto script = Zq({"script", dir / "Demo.exe"});
  ASSERT_EQ(script.code, 0) << script.err;
  EXPECT_NE(script.out.find("name Demo\nlanguage English\n:again\nfile data  ; group 1\ngoto again\n"),
            std::string::npos)
      << script.out;

  test::WriteAll(dir / "bad.zqs", "name Demo\nfile nothing\n");
  auto failed = Zq({"build", dir / "bad.zqs", "--stub", dir / "stub.exe"});
  EXPECT_EQ(failed.code, 1);
  EXPECT_NE(failed.err.find("bad.zqs:2: error: source folder or file \"nothing\" not found"), std::string::npos)
      << failed.err;
  EXPECT_FALSE(platform::FileExists(dir / "bad.exe"));

  EXPECT_EQ(Zq({"build", "--help"}).code, 0);
  EXPECT_EQ(Zq({"script", "--help"}).code, 0);
  EXPECT_EQ(Zq({"build"}).code, 2);
  EXPECT_EQ(Zq({"script", dir / "stub.exe"}).code, 1);
}

TEST(BuildCommand, BuildsEachEditionOfOneScript) {
  test::TempDir dir;
  test::WriteAll(dir / "stub.exe", test::FakeProgram(64));
  test::WriteAll(dir / "English.wri", test::LanguageTable(u"English", "0409;", {{1, u"Hi"}}));
  test::WriteAll(dir / "common.zqs", "language English\nmessage \"${EDITION} edition\"\n");
  test::WriteAll(dir / "s.zqs",
                 "!ifdef PRO\n!define EDITION Pro\n!else\n!define EDITION Free\n!endif\nname \"Demo "
                 "${EDITION}\"\n!include common.zqs\n");
  test::WriteAll(dir / "bad.zqs", "name Demo\n!include bad_common.zqs\n");
  test::WriteAll(dir / "bad_common.zqs", "\nfile nothing\n");
  const struct {
    std::vector<std::string> args;  // after the script
    int code;
    std::string shown;  // in zq script's output, or on standard error when the build fails
  } cases[] = {
      {{}, 0, "name \"Demo Free\"\nlanguage English\nmessage \"Free edition\"\n"},
      {{"-D", "PRO"}, 0, "name \"Demo Pro\"\nlanguage English\nmessage \"Pro edition\"\n"},
      {{"-D", "PRO", "-D", "EDITION=Trial 2"},
       0,
       "name \"Demo Trial 2\"\nlanguage English\nmessage \"Trial 2 edition\"\n"},
      {{"-D", "A-B=1"}, 2, "zq: -D needs NAME or NAME=VALUE"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"build", dir / "s.zqs", "--stub", dir / "stub.exe", "-o", dir / "Demo.exe"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    auto built = Zq(args);
    ASSERT_EQ(built.code, c.code) << built.err;
    if (c.code != 0) {
      EXPECT_NE(built.err.find(c.shown), std::string::npos) << built.err;
      continue;
    }
    auto script = Zq({"script", dir / "Demo.exe"});
    EXPECT_NE(script.out.find(c.shown), std::string::npos) << script.out;
  }

  // The compiler's own errors name the included file's line.
  auto failed = Zq({"build", dir / "bad.zqs", "--stub", dir / "stub.exe"});
  EXPECT_EQ(failed.code, 1);
  EXPECT_NE(failed.err.find("bad_common.zqs:2: error: source folder or file \"nothing\" not found"), std::string::npos)
      << failed.err;
}

}  // namespace
}  // namespace zq::tool
