// A crafted uninstall log: the uninstaller still removes what the installation owns, and
// refuses, with a line in the log, whatever else the log names.
#include "engine/removal_guard.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/macros.h"
#include "engine/setup_context.h"
#include "engine/uninstaller.h"
#include "platform/files.h"
#include "platform/shell_folders.h"
#ifndef _WIN32
#include "platform/host_prefix.h"
#endif
#include "support/temp_dir.h"

namespace zq {
namespace {

TEST(RemovalGuard, ACraftedLogDeletesOnlyWhatTheInstallationCanOwn) {
  test::TempDir dir;
  const std::string product = dir / "Product";
  const std::string install = product + "\\Demo";
  for (const std::string& folder : {product, install, install + "\\keep"}) ASSERT_TRUE(platform::CreateDir(folder));
  test::WriteAll(install + "\\keep\\a.txt", "installed");
  test::WriteAll(install + "\\dot.txt", "reached through .");
  test::WriteAll(dir / "victim.txt", "reached through ..");

  SetupContext ctx;
  ctx.Choices.InstallDir = install;
  ctx.SetupToLoad().ProgramFilesDir = "C:\\Program Files\\";
  std::vector<std::string> logged;
  ctx.Services.RunLog = [&](const std::string& line) { logged.push_back(line); };
  const std::string windows = platform::SpecialFolderPath(platform::kCsidlWindows).value();
  const std::string profile = platform::SpecialFolderPath(platform::kCsidlProfile).value();
  const std::string profiles = profile.substr(0, profile.rfind('\\'));

  const struct {
    std::string line;  // as the log holds it
    std::string refusal;
  } files[] = {
      {"$INSTDIR\\keep\\a.txt", ""},
      {"$INSTDIR\\..\\..\\victim.txt", "a \".\" or \"..\" component"},
      {"$INSTDIR\\.\\dot.txt", "a \".\" or \"..\" component"},
      {"$INSTDIR\\keep\\...\\..\\..\\dot.txt", "a \".\" or \"..\" component"},
      {"C:\\boot.ini", "a file directly in a drive root"},
      {windows + "\\system.ini", "the Windows folder"},
      {windows + "\\System32\\drivers\\etc\\hosts", "the Windows folder"},
      // Expanding the line makes one backslash of the two.
      {"\\\\server\\share\\product\\data.bin", "not a full path"},
      {"//server/share/product/data.bin", "a network or device path"},
      {"relative\\file.txt", "not a full path"},
      {"\\rooted\\file.txt", "not a full path"},
  };
  const struct {
    std::string line;
    std::string refusal;
  } dirs[] = {
      {install + "\\keep\\", ""},
      {"C:\\", "a drive root"},
      {"C:\\Program Files", "the program files folder"},
      {"C:\\Program Files\\", "the program files folder"},
      {windows, "the Windows folder"},
      {profiles, "a user profile folder"},
      {profile, "a user profile folder"},
      {profile + "\\", "a user profile folder"},
      {profiles + "\\Public", "a user profile folder"},
      {platform::SpecialFolderPath(platform::kCsidlDesktop).value(), "a folder of the user's own"},
      {platform::SpecialFolderPath(platform::kCsidlAppData).value() + "\\", "a folder of the user's own"},
      {platform::SpecialFolderPath(platform::kCsidlPrograms).value(), "a folder of the user's own"},
      {product + "\\..\\Product", "a \".\" or \"..\" component"},
      {"\\\\server\\share\\product", "a network or device path"},
  };
  for (const auto& f : files) ctx.Run.UninstallList.Files.push_back(f.line);
  for (const auto& d : dirs) ctx.Run.UninstallList.Dirs.insert(ctx.Run.UninstallList.Dirs.begin(), d.line);
#ifndef _WIN32
  // The host's own files behind Z: are for reading the setup, never for deleting, even where
  // they lead back into the prefix.
  std::string host_path = *platform::HostPath(dir / "victim.txt");
  std::replace(host_path.begin(), host_path.end(), '/', '\\');
  ctx.Run.UninstallList.Files.push_back("Z:" + host_path);
#endif

  Uninstall(ctx);

  EXPECT_FALSE(ctx.Run.SetupAborted);
  EXPECT_FALSE(platform::FileExists(install + "\\keep\\a.txt"));
  EXPECT_FALSE(platform::DirectoryExists(install + "\\keep"));
  EXPECT_EQ(test::ReadAll(install + "\\dot.txt"), "reached through .");
  EXPECT_EQ(test::ReadAll(dir / "victim.txt"), "reached through ..");
  auto said = [&](const std::string& line) { return std::find(logged.begin(), logged.end(), line) != logged.end(); };
  EXPECT_TRUE(said("deleted " + install + "\\keep\\a.txt"));
  EXPECT_TRUE(said("removed folder " + install + "\\keep\\"));
  for (const auto& f : files) {
    if (f.refusal.empty()) continue;
    const std::string path = ExpandMacrosAnsi(ctx, f.line);
    EXPECT_TRUE(said("refused to delete " + path + ": " + f.refusal)) << f.line;
  }
  for (const auto& d : dirs) {
    if (d.refusal.empty()) continue;
    EXPECT_TRUE(said("refused to delete " + d.line + ": " + d.refusal)) << d.line;
  }
#ifndef _WIN32
  EXPECT_TRUE(said("refused to delete Z:" + host_path + ": not on the machine's own disks"));
#endif
  // The program files folder itself, wherever it lies.
  ctx.SetupToLoad().ProgramFilesDir = "D:\\Apps\\Program Files\\";
  EXPECT_EQ(RemovalRefusal(ctx.Setup, "D:\\Apps\\Program Files", true), "the program files folder");
  EXPECT_EQ(RemovalRefusal(ctx.Setup, install + "\\keep\\a.txt", false), "");
  // A folder of its own directly in a drive root is an installation's; a file there is not.
  EXPECT_EQ(RemovalRefusal(ctx.Setup, "C:\\Game", true), "");
  EXPECT_EQ(RemovalRefusal(ctx.Setup, "C:\\Game", false), "a file directly in a drive root");
}

}  // namespace
}  // namespace zq
