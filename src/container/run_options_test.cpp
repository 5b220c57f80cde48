#include "container/run_options.h"

#include <gtest/gtest.h>

#include "container/version_text.h"

namespace zq {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(RunOptions, ReadsWhatItWritesAndSkipsWhatItDoesNotKnow) {
  const struct {
    std::string entry;
    RunOptions options;
  } cases[] = {
      {"", {}},
      {"lockedfiles reboot\r\n", {true, Architecture::X86, InstallScope::Default}},
      {"architecture x64\r\n", {false, Architecture::X64, InstallScope::Default}},
      {"scope machine\r\n", {false, Architecture::X86, InstallScope::Machine}},
      {"lockedfiles reboot\r\narchitecture x64\r\nscope user\r\n", {true, Architecture::X64, InstallScope::User}},
      // Case, LF alone, a later option, a word of a newer writer and a value it does not know.
      {"Architecture X64\nSCOPE User\ncolour blue\nscope galaxy", {false, Architecture::X64, InstallScope::User}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseRunOptions(Bytes(c.entry)), c.options) << c.entry;
    EXPECT_EQ(ParseRunOptions(Bytes(FormatRunOptions(c.options))), c.options) << c.entry;
  }
  // The version and the downgrade permission, written before and after the others.
  const RunOptions all{.LockedFilesReboot = true, .Version = "2.1 beta", .AllowDowngrade = true};
  EXPECT_EQ(FormatRunOptions(all), "lockedfiles reboot\r\nversion 2.1 beta\r\nallowdowngrade\r\n");
  EXPECT_EQ(ParseRunOptions(Bytes(FormatRunOptions(all))), all);
  const RunOptions later = ParseRunOptions(Bytes("colour blue\nversion  3.0 \rallowdowngrade now\r\n"));
  EXPECT_EQ(later.Version, "3.0");
  EXPECT_FALSE(later.AllowDowngrade);
  EXPECT_FALSE(later.LockedFilesReboot);
  EXPECT_EQ(FormatRunOptions({}), "");
  // What a script needs of its engine: known words pass, a newer one is named.
  const RunOptions needs = ParseRunOptions(Bytes("needs Decisions\r\nneeds services\r\n"));
  EXPECT_EQ(needs.Needs, (std::vector<std::string>{"decisions", "services"}));
  EXPECT_EQ(ParseRunOptions(Bytes(FormatRunOptions(needs))), needs);
  EXPECT_EQ(UnknownNeed(needs), "services");
  EXPECT_EQ(UnknownNeed(ParseRunOptions(Bytes("needs decisions\n"))), "");
  EXPECT_EQ(FormatRunOptions({true, Architecture::X64, InstallScope::User}),
            "lockedfiles reboot\r\narchitecture x64\r\nscope user\r\n");
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
