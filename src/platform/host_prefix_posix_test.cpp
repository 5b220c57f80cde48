#include "platform/host_prefix.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

#include "platform/files.h"
#include "platform/shell_folders.h"

#include "support/scratch_prefix.h"

namespace zq::platform {
namespace {

using test::ScratchPrefix;

std::string Devices() { return Prefix() + "/dosdevices"; }

TEST(HostPath, DrivePathsGoThroughDosDevices) {
  EXPECT_EQ(HostPath("C:\\Program Files"), Devices() + "/c:/Program Files");
  EXPECT_EQ(HostPath("C:/Program Files/Demo"), Devices() + "/c:/Program Files/Demo");
  EXPECT_EQ(HostPath("c:\\windows\\"), Devices() + "/c:/windows");
  EXPECT_EQ(HostPath("C:"), Devices() + "/c:");
  EXPECT_EQ(HostPath("C:\\"), Devices() + "/c:");
}

TEST(HostPath, ExistingNamesAreFoundWithoutRegardToCase) {
  EXPECT_EQ(HostPath("c:\\PROGRAM FILES\\New Folder\\X.txt"), Devices() + "/c:/Program Files/New Folder/X.txt");
  EXPECT_EQ(HostPath("C:\\WINDOWS"), Devices() + "/c:/windows");
}

// Each folder's names are kept between lookups: they must follow what the file layer creates,
// renames and deletes, and what others change in the folder.
TEST(HostPath, CaseInsensitiveLookupsFollowChangesToTheFolder) {
  const std::string dir = Devices() + "/c:/CaseCache";
  ASSERT_TRUE(CreateDir("C:\\CaseCache"));
  auto create = [](const char* path) { return File().Open(path, OpenMode::Create); };
  struct Step {
    const char* what;
    std::function<bool()> change;
    const char* lookup;
    const char* found;
  };
  const Step steps[] = {
      {"nothing yet", [] { return true; }, "C:\\casecache\\DATA.BIN", "/DATA.BIN"},
      {"created through the layer", [&] { return create("C:\\CaseCache\\Data.bin"); }, "C:\\casecache\\DATA.BIN",
       "/Data.bin"},
      {"a second one", [&] { return create("C:\\CaseCache\\Two.bin"); }, "C:\\CASECACHE\\two.BIN", "/Two.bin"},
      {"renamed", [] { return RenameFile("C:\\CaseCache\\Data.bin", "C:\\CaseCache\\Other.bin"); },
       "C:\\casecache\\data.bin", "/data.bin"},
      {"the new name", [] { return true; }, "C:\\casecache\\OTHER.bin", "/Other.bin"},
      {"deleted", [] { return DeleteFileAt("C:\\CaseCache\\Other.bin"); }, "C:\\casecache\\OTHER.bin", "/OTHER.bin"},
      {"made by another program",
       [&] {
         // Past the clock tick of the last change, so the folder's time moves.
         usleep(50 * 1000);
         return bool(std::ofstream(dir + "/Outside.txt"));
       },
       "C:\\casecache\\OUTSIDE.TXT", "/Outside.txt"},
  };
  for (const Step& s : steps) {
    ASSERT_TRUE(s.change()) << s.what;
    EXPECT_EQ(HostPath(s.lookup), dir + s.found) << s.what;
  }
}

TEST(HostPath, DotsStayInsideTheDrive) {
  EXPECT_EQ(HostPath("C:\\a\\..\\windows"), Devices() + "/c:/windows");
  EXPECT_EQ(HostPath("C:\\..\\..\\windows\\.\\x"), Devices() + "/c:/windows/x");
  EXPECT_EQ(HostPath("C:\\.."), Devices() + "/c:");
  EXPECT_EQ(HostPath("Z:\\..\\etc"), Devices() + "/z:/etc");
}

TEST(HostPath, DriveZIsTheHostRoot) {
  ASSERT_TRUE(HostPath("Z:\\etc\\hostname"));
  EXPECT_EQ(HostPath("z:\\etc"), Devices() + "/z:/etc");
  EXPECT_TRUE(DirectoryExists("Z:\\tmp"));
}

TEST(HostPath, UnmappedDrivesAndUncPathsHaveNoHostPath) {
  EXPECT_FALSE(HostPath("Q:\\file"));
  EXPECT_FALSE(HostPath("q:"));
  EXPECT_FALSE(HostPath("\\\\server\\share\\file"));
  EXPECT_FALSE(HostPath(""));
  EXPECT_FALSE(FileExists("Q:\\file"));
}

TEST(HostPath, HostPathsStandAsTheyAre) {
  EXPECT_EQ(HostPath("/etc/hostname"), "/etc/hostname");
  EXPECT_EQ(HostPath("/Some/Where"), "/Some/Where");
}

TEST(HostPath, RelativePathsStartAtTheCurrentDirectory) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  const std::string base = std::string(cwd) == "/" ? "" : cwd;
  EXPECT_EQ(HostPath("zq-none\\x.txt"), base + "/zq-none/x.txt");
  EXPECT_EQ(HostPath("zq-none\\..\\zq-other"), base + "/zq-other");
}

TEST(WindowsPath, HostPathsLandOnTheirDrive) {
  EXPECT_EQ(WindowsPath("/tmp/a"), "Z:\\tmp\\a");
  EXPECT_EQ(WindowsPath("/"), "Z:\\");
  EXPECT_EQ(WindowsPath(Prefix() + "/drive_c/Program Files/x.dat"), "C:\\Program Files\\x.dat");
  EXPECT_EQ(WindowsPath(Prefix() + "/drive_c"), "C:\\");
  EXPECT_EQ(WindowsPath(Devices() + "/c:/windows"), "C:\\windows");
  EXPECT_EQ(WindowsPath(Devices() + "/z:/tmp"), "Z:\\tmp");
}

TEST(WindowsPath, RoundTripsThroughHostPath) {
  for (const char* path : {"C:\\users", "C:\\Program Files\\Not There\\file.txt", "Z:\\etc"}) {
    auto host = HostPath(path);
    ASSERT_TRUE(host) << path;
    EXPECT_EQ(WindowsPath(*host), path);
  }
}

TEST(Prefix, LayoutIsMadeOnFirstUse) {
  for (const char* dir : {"C:\\Program Files", "C:\\windows"}) EXPECT_TRUE(DirectoryExists(dir)) << dir;
  for (int csidl : {kCsidlProgramFiles, kCsidlPrograms, kCsidlDesktop, kCsidlAppData}) {
    auto path = SpecialFolderPath(csidl);
    ASSERT_TRUE(path) << csidl;
    EXPECT_TRUE(DirectoryExists(*path)) << *path;
    EXPECT_NE(path->back(), '\\');
  }
  EXPECT_TRUE(DirectoryExists(TempDir()));
  EXPECT_EQ(TempDir().rfind("C:\\users\\", 0), 0u);
}

TEST(Prefix, SpecialFoldersHaveTheirPlaces) {
  EXPECT_EQ(SpecialFolderPath(kCsidlProgramFiles), "C:\\Program Files");
  const std::string roaming = *SpecialFolderPath(kCsidlAppData);
  EXPECT_EQ(roaming.rfind("C:\\users\\", 0), 0u);
  EXPECT_EQ(roaming.substr(roaming.size() - 16), "\\AppData\\Roaming");
  EXPECT_EQ(SpecialFolderPath(kCsidlPrograms), roaming + "\\Microsoft\\Windows\\Start Menu\\Programs");
  EXPECT_EQ(SpecialFolderPath(kCsidlDesktop), roaming.substr(0, roaming.size() - 16) + "\\Desktop");
  EXPECT_FALSE(SpecialFolderPath(0x05));
}

TEST(Prefix, SwitchingMakesTheNewLayout) {
  const std::string old_prefix = Prefix();
  {
    ScratchPrefix scratch;
    EXPECT_EQ(Prefix(), scratch.path());
    EXPECT_TRUE(DirectoryExists("C:\\Program Files"));
    EXPECT_EQ(HostPath("C:\\windows"), scratch.path() + "/dosdevices/c:/windows");
  }
  EXPECT_EQ(Prefix(), old_prefix);
  EXPECT_EQ(HostPath("C:\\windows"), Devices() + "/c:/windows");
}

}  // namespace
}  // namespace zq::platform
