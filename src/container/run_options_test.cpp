#include "container/run_options.h"

#include <gtest/gtest.h>

#include "container/version_text.h"

namespace zq {
namespace {

TEST(RunOptions, LinesReadBackAndUnknownOnesArePassedOver) {
  const RunOptions all{.LockedFilesReboot = true, .Version = "2.1 beta", .AllowDowngrade = true};
  EXPECT_EQ(all.Serialize(), "lockedfiles reboot\r\nversion 2.1 beta\r\nallowdowngrade\r\n");
  const RunOptions back = RunOptions::Parse(all.Serialize());
  EXPECT_EQ(back.Serialize(), all.Serialize());
  EXPECT_TRUE(RunOptions().Empty());
  EXPECT_EQ(RunOptions().Serialize(), "");
  // An entry written before versions were carried, and one from a later writer.
  const RunOptions old = RunOptions::Parse("lockedfiles reboot\r\n");
  EXPECT_TRUE(old.LockedFilesReboot);
  EXPECT_TRUE(old.Version.empty());
  const RunOptions later = RunOptions::Parse("colour blue\nversion  3.0 \rallowdowngrade now\r\n");
  EXPECT_EQ(later.Version, "3.0");
  EXPECT_FALSE(later.AllowDowngrade);
  EXPECT_FALSE(later.LockedFilesReboot);
}

TEST(VersionText, ComparesTheFirstFourNumbers) {
  const struct {
    const char* a;
    const char* b;
    int order;
  } cases[] = {
      {"2.1", "2.1.0.0", 0},       {"2.1", "2.10", -1},     {"10.0", "9.9.9.9", 1},
      {"1.2.3.4.5", "1.2.3.4", 0},  // a fifth number does not count
      {"1.2-beta3", "1.2", 0},     {"1.2.1", "1.2-rc1", 1}, {"", "0.0", 0},
      {"v2", "1.0", -1},          // a part that does not start with a digit counts 0
      {"99999.1", "65535.1", 0},  // each number at most 65535
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareVersions(c.a, c.b), c.order) << c.a << " against " << c.b;
    EXPECT_EQ(CompareVersions(c.b, c.a), -c.order) << c.b << " against " << c.a;
  }
}

}  // namespace
}  // namespace zq
