#include "script/comp_lines.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "script/command.h"
#include "script/group_flags.h"
#include "script/script_test_support.h"

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
  for (std::size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(t.LoadFromBuffer(good.data(), cut, &problem)) << cut;
    EXPECT_TRUE(t.Lines.empty());
  }
  auto patched = [&](std::size_t offset, std::uint32_t value) {
    auto b = good;
    const std::uint8_t le[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    std::copy(le, le + 4, b.begin() + static_cast<std::ptrdiff_t>(offset));
    return b;
  };
  // Line 2 starts after the count (2), line 0 (12 + 2 + 5) and line 1 (12).
  const std::size_t line2 = 2 + 19 + 12;
  for (auto [bytes, words] : {std::pair{patched(line2, 33), "outside -1..32"},
                              std::pair{patched(line2, static_cast<std::uint32_t>(-2)), "outside -1..32"},
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

TEST(CommandRegistry, FixedOrderAndGroupKinds) {
  TCommandList list;
  RegisterCommands(list);
  ASSERT_EQ(list.Count(), 32u);
  EXPECT_EQ(list.At(1)->Keyword, "goto");
  EXPECT_EQ(list.At(7)->Keyword, "file");
  EXPECT_EQ(list.At(29)->Keyword, "writeregstr_url");
  EXPECT_EQ(list.At(32)->Keyword, "execute");
  EXPECT_EQ(list.At(0), nullptr);
  EXPECT_EQ(list.At(-1), nullptr);
  EXPECT_EQ(list.At(33), nullptr);
  int definition_only = 0;
  for (int i = 1; i <= 32; ++i) definition_only += list.At(i)->DefinitionOnly;
  EXPECT_EQ(definition_only, 9);
  EXPECT_EQ(FindCommand("WriteRegStr")->index, 9);
  EXPECT_FALSE(FindCommand("nonsense").has_value());

  SetupContext ctx;
  test::LoadScript(ctx, {{"file", {"a", "1"}},
                         {"zqpupdate", {"b", "pw", "x.zqp", "2"}},
                         {"message", {"hi"}},
                         {"vfsupdate", {"c", "d.vfs", "3"}},
                         {"file", {"e", "4"}}});
  EXPECT_EQ(BuildGroupFlags(ctx.CompLines, ctx.CommandList), (std::vector<std::uint8_t>{0, 0, 1, 1, 0}));
}

TEST(SetupFileName, BrowserCopyNumbersAreIgnored) {
  EXPECT_TRUE(SameSetupFileName("setup(1).exe", "setup.exe"));
  EXPECT_TRUE(SameSetupFileName("setup[3].exe", "setup.exe"));
  EXPECT_TRUE(SameSetupFileName("setup(1)[2].exe", "setup.exe"));
  EXPECT_TRUE(SameSetupFileName("setup().exe", "setup.exe"));
  EXPECT_FALSE(SameSetupFileName("setup(10).exe", "setup.exe"));
  EXPECT_FALSE(SameSetupFileName("setup(0).exe", "setup.exe"));
  EXPECT_FALSE(SameSetupFileName("setup(a).exe", "setup.exe"));
  EXPECT_EQ(RemoveCopyNumbers("setup(x", '(', ')'), "setup(x");
  EXPECT_EQ(RemoveCopyNumbers("a(b)c(2)d", '(', ')'), "a(b)cd");
}

}  // namespace
}  // namespace zq
