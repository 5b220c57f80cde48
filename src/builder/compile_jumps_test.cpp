// Jump targets: which of a label defined twice each command goes to, and the targets that are
// no label.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builder/compile_state.h"

namespace zq::builder::compile {
namespace {

TEST(CompileJumps, EachJumpingCommandGoesToItsLabel) {
  const std::string unused_a = "setup.zqs:1: warning: label \"a\" is never used";
  const std::string unused_b = "setup.zqs:3: warning: label \"b\" is never used";
  const struct {
    std::string line;                      // after ":a", ":A" and ":b" (positions 0, 1 and 2)
    std::vector<std::string> expected;     // its arguments once resolved
    std::vector<std::string> diagnostics;  // what the pass reports
  } cases[] = {
      {"goto a", {"0"}, {unused_b}},
      {"ifexitcode 3 A", {"3", "0"}, {unused_b}},
      {"ifregexists HKLM k b", {"HKLM", "k", "2"}, {unused_a}},
      {"ifregexists HKLM k v a", {"HKLM", "k", "v", "0"}, {unused_b}},
      {"iffileexists f a b", {"f", "1", "2"}, {}},
      {"messagebox m t b a", {"m", "t", "2", "1"}, {}},
      {"ifchecked box a", {"box", "1"}, {unused_b}},
      {"iffileexists f 0 B", {"f", "-1", "2"}, {unused_a}},
      {"goto nowhere", {"nowhere"}, {"setup.zqs:4: error: unknown label \"nowhere\"", unused_a, unused_b}},
  };
  for (const auto& c : cases) {
    const CompileOptions options;
    State s("setup.zqs", options);
    ReadLines(s, ":a\n:A\n:b\n" + c.line);
    const std::size_t read = s.diags().All().size();
    ResolveJumps(s);
    ASSERT_EQ(s.lines.size(), 4u) << c.line;
    EXPECT_EQ(s.lines[3].args, c.expected) << c.line;
    std::vector<std::string> reported;
    for (std::size_t i = read; i < s.diags().All().size(); ++i)
      reported.push_back(FormatDiagnostic(s.diags().All()[i]));
    EXPECT_EQ(reported, c.diagnostics) << c.line;
  }
}

}  // namespace
}  // namespace zq::builder::compile
