#include "script/comp_lines.h"
#include "script/command_table.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace zq {
namespace {

TCompLines Sample() {
  TCompLines t;
  t.Lines.push_back({0, {"start"}, 1, 0});
  t.Lines.push_back({kDefinitionOnlyIndex, {}, 0, kDefinitionOnlyLineNumber});
  t.Lines.push_back({15, {"", "two words"}, 2, 2});
  t.Lines.push_back({1, {"0"}, 1, 3});
  return t;
}

TEST(CompLines, RoundTripsAndKeepsEmptyArguments) {
  auto bytes = Sample().Serialize();
  TCompLines back;
  ASSERT_TRUE(back.LoadFromBuffer(bytes.data(), bytes.size()));
  ASSERT_EQ(back.Lines.size(), 4u);
  EXPECT_EQ(back.Lines[1].CommandIndex, -1);
  EXPECT_EQ(back.Lines[1].LineNumber, 0xFFFFFFFFu);
  EXPECT_TRUE(back.Lines[1].Args.empty());
  EXPECT_EQ(back.Lines[2].Args, (std::vector<std::string>{"", "two words"}));
  EXPECT_EQ(back.Serialize(), bytes);
  EXPECT_TRUE(back.HasParamCount(2, 2));
  EXPECT_FALSE(back.HasParamCount(2, 3));
  EXPECT_FALSE(back.HasParamCount(9, 0));

  const std::uint8_t empty[] = {0, 0};
  ASSERT_TRUE(back.LoadFromBuffer(empty, 2));
  EXPECT_TRUE(back.Lines.empty());
}

TEST(CompLines, DamagedEntriesAreRefusedWhole) {
  const auto good = Sample().Serialize();
  std::string problem;
  TCompLines t;
  const std::uint8_t empty[] = {0, 0};
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(t.LoadFromBuffer(good.data(), cut, &problem)) << cut;
    EXPECT_TRUE(t.Lines.empty());
  }
  // A refused entry leaves the table as it was.
  ASSERT_TRUE(t.LoadFromBuffer(good.data(), good.size()));
  EXPECT_FALSE(t.LoadFromBuffer(empty, 1, &problem));
  EXPECT_EQ(t.Serialize(), good);
  auto patched = [&](std::size_t offset, std::uint32_t value) {
    auto b = good;
    const std::uint8_t le[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    std::copy(le, le + 4, b.begin() + static_cast<std::ptrdiff_t>(offset));
    return b;
  };
  // Line 2 starts after the count (2), line 0 (12 + 2 + 5) and line 1 (12).
  const std::size_t line2 = 2 + 19 + 12;
  const std::string outside = "outside -1.." + std::to_string(kCommandCount);
  for (auto [bytes, words] : {std::pair{patched(line2, kCommandCount + 1), outside.c_str()},
                              std::pair{patched(line2, static_cast<std::uint32_t>(-2)), outside.c_str()},
                              std::pair{patched(line2 + 4, 7), "carries the number 7"},
                              std::pair{patched(line2 + 8, static_cast<std::uint32_t>(-1)), "negative"},
                              std::pair{patched(line2 + 8, 100000), "runs past the end"}}) {
    EXPECT_FALSE(t.LoadFromBuffer(bytes.data(), bytes.size(), &problem));
    EXPECT_NE(problem.find(words), std::string::npos) << problem;
    EXPECT_NE(problem.find("line 2"), std::string::npos) << problem;
  }
  auto longer = good;
  longer.push_back(0);
  EXPECT_FALSE(t.LoadFromBuffer(longer.data(), longer.size(), &problem));
}

}  // namespace
}  // namespace zq
