#include "platform/drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/files.h"
#include "platform/host_prefix.h"
#include "support/temp_dir.h"

namespace zq::platform {
namespace {

bool Has(const std::vector<std::string>& roots, const std::string& root) {
  return std::find(roots.begin(), roots.end(), root) != roots.end();
}

TEST(Drives, TheStandardDrivesAreThere) {
  auto roots = LogicalDriveRoots();
  EXPECT_TRUE(Has(roots, "C:\\"));
  EXPECT_TRUE(Has(roots, "Z:\\"));
  EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
  EXPECT_EQ(GetDriveType("C:\\"), DriveType::Fixed);
  EXPECT_EQ(GetDriveType("c:"), DriveType::Fixed);
  EXPECT_EQ(GetDriveType("Q:\\"), DriveType::NoRootDir);
  EXPECT_EQ(GetDriveType("nonsense"), DriveType::NoRootDir);
}

TEST(Drives, FreeBytesOfMappedDrivesOnly) {
  auto c = FreeBytes(3);
  ASSERT_TRUE(c);
  EXPECT_GT(*c, 0);
  EXPECT_FALSE(FreeBytes(17));  // Q:
  EXPECT_FALSE(FreeBytes(27));
  EXPECT_FALSE(FreeBytes(-1));
}

TEST(Drives, AMappedDriveCanBeMadeAnOpticalDrive) {
  test::TempDir media;
  // The real folder, not its name through dosdevices/c: (which names drive C: itself).
  const std::string host_dir = std::filesystem::canonical(*HostPath(media.path())).string();
  test::WriteAll(media / "setup.dat", "payload");
  ASSERT_TRUE(MapDrive('R', host_dir));

  auto roots = LogicalDriveRoots();
  EXPECT_TRUE(Has(roots, "R:\\"));
  EXPECT_TRUE(std::is_sorted(roots.begin(), roots.end()));
  EXPECT_EQ(GetDriveType("R:\\"), DriveType::Fixed);
  ASSERT_TRUE(SetDriveType('r', DriveType::CdRom));
  EXPECT_EQ(GetDriveType("R:\\"), DriveType::CdRom);
  EXPECT_EQ(GetDriveType("r:"), DriveType::CdRom);
  EXPECT_EQ(test::ReadAll("R:\\SETUP.DAT"), "payload");
  auto free = FreeBytes(18);
  ASSERT_TRUE(free);
  EXPECT_GT(*free, 0);
  // The drive that maps a folder most closely names it, not C: around it.
  EXPECT_EQ(WindowsPath(host_dir + "/setup.dat"), "R:\\setup.dat");

  test::TempDir other;
  test::WriteAll(other / "other.dat", "x");
  ASSERT_TRUE(MapDrive('r', *HostPath(other.path())));
  EXPECT_TRUE(FileExists("R:\\other.dat"));
  EXPECT_FALSE(FileExists("R:\\setup.dat"));
  EXPECT_EQ(GetDriveType("R:\\"), DriveType::CdRom);
}

TEST(Drives, BadLettersAreRefused) {
  EXPECT_FALSE(MapDrive('1', "/tmp"));
  EXPECT_FALSE(SetDriveType('?', DriveType::CdRom));
}

}  // namespace
}  // namespace zq::platform
