#include "container/run_options.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(FormatRunOptions({}), "");
  EXPECT_EQ(FormatRunOptions({true, Architecture::X64, InstallScope::User}),
            "lockedfiles reboot\r\narchitecture x64\r\nscope user\r\n");
}

}  // namespace
}  // namespace zq
