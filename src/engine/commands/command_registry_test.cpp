// The registry of command objects, and the group flags that follow from a script's lines.
#include <gtest/gtest.h>

#include "engine/commands/commands.h"
#include "engine/commands/script_test_support.h"
#include "script/group_flags.h"

namespace zq {
namespace {

TEST(CommandRegistry, FixedOrderAndGroupKinds) {
  TCommandList list;
  RegisterCommands(list);
  ASSERT_EQ(list.Count(), static_cast<std::size_t>(kCommandCount));
  EXPECT_EQ(list.At(1)->Keyword, "goto");
  EXPECT_EQ(list.At(7)->Keyword, "file");
  EXPECT_EQ(list.At(29)->Keyword, "writeregstr_url");
  EXPECT_EQ(list.At(32)->Keyword, "execute");
  EXPECT_EQ(list.At(38)->Keyword, "ifexitcode");
  EXPECT_EQ(list.At(39)->Keyword, "ifregexists");
  EXPECT_EQ(list.At(0), nullptr);
  EXPECT_EQ(list.At(-1), nullptr);
  EXPECT_EQ(list.At(33)->Keyword, "ifchecked");
  EXPECT_EQ(list.At(kCommandCount + 1), nullptr);
  int definition_only = 0;
  for (int i = 1; i <= kCommandCount; ++i) definition_only += list.At(i)->DefinitionOnly;
  EXPECT_EQ(definition_only, 9);
  EXPECT_EQ(FindCommand("WriteRegStr")->index, 9);
  EXPECT_FALSE(FindCommand("nonsense").has_value());

  SetupContext ctx;
  test::LoadScript(ctx, {{"file", {"a", "1"}},
                         {"zqpupdate", {"b", "pw", "x.zqp", "2"}},
                         {"message", {"hi"}},
                         {"vfsupdate", {"c", "d.vfs", "3"}},
                         {"file", {"e", "4"}}});
  EXPECT_EQ(BuildGroupFlags(ctx.SetupToLoad().CompLines), (std::vector<std::uint8_t>{0, 0, 1, 1, 0}));
}

}  // namespace
}  // namespace zq
