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

}  // namespace
}  // namespace zq::tool
