#include "container/setup_info.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace zq {
namespace {

TEST(SetupInfo, EmptyRecordIsTwentyFiveBytes) {
  TSetupInfoFile info;
  auto bytes = info.Serialize();
  EXPECT_EQ(bytes.size(), 25u);
  TSetupInfoFile back;
  back.InstallDir = "preset";
  ASSERT_TRUE(back.LoadFromBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
  EXPECT_EQ(back.InstallDir, "");
  EXPECT_EQ(back.InstallDirRegKey.Key, "");
  EXPECT_EQ(back.Mode, SetupMode::Setup);
}

TEST(SetupInfo, EveryFieldSurvivesAFileRoundTrip) {
  TSetupInfoFile info;
  info.SetupName = "Demo Product 2.1";
  info.ShortName = "Demo";
  info.SetupExeName = "DemoSetup.exe";
  info.UninstallExeName = "demo_Uninstall.exe";
  info.LogPrefix = "demo_";
  info.InstallDir = std::string(300, 'p');
  info.Changelog = "changes.rtf";
  info.InstallDirRegKey = {4, "Software\\Demo", "Path"};
  info.Pages = "pages";
  info.UninstallPages = "unpages";
  info.Mode = SetupMode::Uninstaller;
  info.HasUninstaller = 1;
  test::TempDir dir;
  ASSERT_TRUE(info.SaveToFile(dir / "SIF.temp"));
  std::string bytes = test::ReadAll(dir / "SIF.temp");
  // Field order: seven strings, the root byte, four strings, mode, flag.
  EXPECT_EQ(bytes.substr(0, 2), std::string("\x10\x00", 2));
  EXPECT_EQ(static_cast<unsigned char>(bytes[bytes.size() - 2]), 1);
  TSetupInfoFile back;
  ASSERT_TRUE(back.LoadFromBuffer(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                  static_cast<std::uint32_t>(bytes.size())));
  EXPECT_EQ(back.Serialize(), info.Serialize());
  EXPECT_EQ(back.InstallDir.size(), 300u);
  EXPECT_EQ(back.InstallDirRegKey.HKEY, 4);
  EXPECT_EQ(back.InstallDirRegKey.Key, "Path");
  EXPECT_EQ(back.Mode, SetupMode::Uninstaller);
  EXPECT_EQ(back.HasUninstaller, 1);
}

TEST(SetupInfo, ShortBufferIsACorruptRecordAndChangesNothing) {
  TSetupInfoFile info;
  info.SetupName = "Name";
  info.HasUninstaller = 1;
  auto bytes = info.Serialize();
  TSetupInfoFile kept;
  kept.SetupName = "Kept";
  kept.Pages = "pages";
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    TSetupInfoFile back = kept;
    std::string problem;
    EXPECT_FALSE(back.LoadFromBuffer(bytes.data(), cut, &problem)) << cut;
    EXPECT_EQ(back.Serialize(), kept.Serialize()) << cut;
    // The first field, the name, takes 2 + 4 bytes; the last byte is the uninstaller flag.
    const char* field = cut < 6 ? "SetupName" : cut == bytes.size() - 1 ? "HasUninstaller" : "";
    EXPECT_NE(problem.find(std::string("ends inside its field ") + field), std::string::npos) << cut << ": " << problem;
  }
  TSetupInfoFile none;
  EXPECT_FALSE(none.LoadFromBuffer(nullptr, 0));
}

}  // namespace
}  // namespace zq
