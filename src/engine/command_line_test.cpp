// The engine's switches as deployment tools pass them.
#include "engine/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zq {
namespace {

// A folder of `levels` components of 199 characters: 164 leave no room for the files below.
std::string DeepFolder(int levels) {
  std::string folder = "C:";
  for (int i = 0; i < levels; ++i) folder += "\\" + std::string(199, 'x');
  return folder;
}

TEST(EngineCommandLine, InstallFolderTakesTheRestOfTheLine) {
  const EngineOptions o = ParseEngineCommandLine({"/S", "/LOG=C:\\l.txt", "/D=C:\\Program", "Files\\My", "App"});
  EXPECT_TRUE(o.problems.empty());
  EXPECT_TRUE(o.silent);
  EXPECT_EQ(o.log_file, "C:\\l.txt");
  EXPECT_EQ(o.install_dir, "C:\\Program Files\\My App");
  // Whatever follows /D= belongs to the folder, switches included.
  EXPECT_EQ(ParseEngineCommandLine({"/D=C:\\A", "/S"}).install_dir, "C:\\A /S");
  EXPECT_FALSE(ParseEngineCommandLine({"/D=C:\\A", "/S"}).silent);
}

TEST(EngineCommandLine, RefusalsNameTheProblem) {
  struct Case {
    std::vector<std::string> args;
    const char* problem;  // a part of the one problem reported
  };
  const Case cases[] = {
      {{"/VERYSILENT"}, "unknown switch /VERYSILENT"},
      {{"/quiet"}, "unknown switch /quiet"},
      {{"-s"}, "unknown switch -s"},
      {{"/D="}, "needs a folder"},
      {{"/D=Demo"}, "is not absolute"},
      {{"/D=..\\Demo"}, "is not absolute"},
      {{"/D=C:\\a|b"}, "cannot hold"},
      {{"/D=C:\\a:b"}, "after its drive"},
      {{"/D=C:\\Apps\\con\\Demo"}, "does not allow"},
      {{"/D=C:\\" + std::string(256, 'x')}, "too long"},
      {{"/D=" + DeepFolder(164)}, "too long"},
      {{"/LANG=xyz"}, "hexadecimal"},
  };
  EXPECT_EQ(InstallDirProblem(DeepFolder(163)), "");
  for (const Case& c : cases) {
    const EngineOptions o = ParseEngineCommandLine(c.args);
    ASSERT_EQ(o.problems.size(), 1u) << c.args[0];
    EXPECT_NE(o.problems[0].find(c.problem), std::string::npos) << o.problems[0];
    EXPECT_FALSE(o.install_dir.has_value());
  }
}

TEST(EngineCommandLine, AcceptedFormsAndHelp) {
  for (const char* folder : {"C:\\Games\\Demo", "d:/x", "\\\\server\\share\\Demo", "$PROGRAMFILES\\Demo"}) {
    const EngineOptions o = ParseEngineCommandLine({std::string("/d=") + folder});
    EXPECT_TRUE(o.problems.empty()) << folder;
    EXPECT_EQ(o.install_dir, folder);
  }
  EXPECT_TRUE(ParseEngineCommandLine({"/?"}).help);
  EXPECT_TRUE(ParseEngineCommandLine({"/help"}).help);
  // A path that starts like a switch is the package file.
  const EngineOptions path = ParseEngineCommandLine({"/tmp/setup.exe", "/s"});
  EXPECT_EQ(path.container, "/tmp/setup.exe");
  EXPECT_TRUE(path.problems.empty());
  EXPECT_NE(EngineUsage().find("/D=folder"), std::string::npos);
}

}  // namespace
}  // namespace zq
