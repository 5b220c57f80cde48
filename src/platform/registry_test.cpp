#include "platform/registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/system.h"

namespace zq::platform {
namespace {

// Every test works below a key of its own under HKCU\Software\zqsetup-test, removed after.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    base_ = std::string("Software\\zqsetup-test\\") + info->name() + "-" + std::to_string(TickCountMs());
    reg_.SetRoot(kHkeyCurrentUser);
  }
  void TearDown() override {
    Registry cleanup;
    cleanup.SetRoot(kHkeyCurrentUser);
    cleanup.DeleteKey(base_);
  }
  std::string Key(const std::string& sub) const { return base_ + "\\" + sub; }

  std::string base_;
  Registry reg_;
};

TEST_F(RegistryTest, WrittenStringsReadBackAndOverwrite) {
  ASSERT_TRUE(reg_.OpenKey(Key("App"), true));
  EXPECT_TRUE(reg_.HasOpenKey());
  ASSERT_TRUE(reg_.WriteString("Path", "C:\\Program Files\\Demo"));
  EXPECT_EQ(reg_.ReadString("Path"), "C:\\Program Files\\Demo");
  ASSERT_TRUE(reg_.WriteString("Path", "D:\\Other"));
  EXPECT_EQ(reg_.ReadString("Path"), "D:\\Other");
  ASSERT_TRUE(reg_.WriteString("Empty", ""));
  EXPECT_EQ(reg_.ReadString("Empty"), "");
  EXPECT_EQ(reg_.ReadString("Missing"), std::nullopt);
  EXPECT_FALSE(reg_.ValueExists("Missing"));
  EXPECT_TRUE(reg_.ValueExists("Empty"));
}

TEST_F(RegistryTest, DwordsReadBackAndKeepTheirType) {
  ASSERT_TRUE(reg_.OpenKey(Key("App"), true));
  for (std::uint32_t value : {0u, 1u, 0x12345678u, 0xFFFFFFFFu}) {
    ASSERT_TRUE(reg_.WriteDword("Size", value));
    EXPECT_EQ(reg_.ReadDword("Size"), value);
  }
  EXPECT_EQ(reg_.ReadString("Size"), std::nullopt);
  ASSERT_TRUE(reg_.WriteString("Name", "1"));
  EXPECT_EQ(reg_.ReadDword("Name"), std::nullopt);
  EXPECT_EQ(reg_.ReadDword("Missing"), std::nullopt);
  // Writing another type over a value replaces it.
  ASSERT_TRUE(reg_.WriteDword("Name", 7));
  EXPECT_EQ(reg_.ReadDword("Name"), 7u);
  EXPECT_EQ(reg_.ReadString("Name"), std::nullopt);
  ASSERT_TRUE(reg_.WriteString("Size", "x"));
  EXPECT_EQ(reg_.ReadDword("Size"), std::nullopt);
  reg_.CloseKey();
  EXPECT_FALSE(reg_.WriteDword("Size", 1));
  EXPECT_EQ(reg_.ReadDword("Size"), std::nullopt);
}

TEST_F(RegistryTest, NamesAndPathsIgnoreCase) {
  ASSERT_TRUE(reg_.OpenKey(Key("Vendor\\Product"), true));
  ASSERT_TRUE(reg_.WriteString("InstallDir", "x"));
  EXPECT_EQ(reg_.ReadString("INSTALLDIR"), "x");
  ASSERT_TRUE(reg_.WriteString("installdir", "y"));
  auto names = reg_.ValueNames();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(reg_.ReadString(names[0]), "y");

  Registry other;
  other.SetRoot(kHkeyCurrentUser);
  ASSERT_TRUE(other.OpenKey(Key("VENDOR\\product"), false));
  EXPECT_EQ(other.ReadString("InstallDir"), "y");
  EXPECT_TRUE(other.KeyExists(Key("vendor")));
}

TEST_F(RegistryTest, OpeningWithoutCreateNeedsTheKey) {
  EXPECT_FALSE(reg_.OpenKey(Key("Nope"), false));
  EXPECT_FALSE(reg_.HasOpenKey());
  EXPECT_FALSE(reg_.KeyExists(Key("Nope")));
  EXPECT_FALSE(reg_.ReadString("x"));
  EXPECT_FALSE(reg_.WriteString("x", "y"));
}

TEST_F(RegistryTest, CreatingMakesEveryAncestor) {
  ASSERT_TRUE(reg_.OpenKey(Key("A\\B\\C"), true));
  EXPECT_TRUE(reg_.KeyExists(Key("A")));
  EXPECT_TRUE(reg_.KeyExists(Key("A\\B")));
  EXPECT_TRUE(reg_.KeyExists(Key("A\\B\\C")));
  EXPECT_FALSE(reg_.KeyExists(Key("A\\C")));
}

TEST_F(RegistryTest, ExtraBackslashesAreIgnored) {
  ASSERT_TRUE(reg_.OpenKey("\\" + Key("One\\\\Two") + "\\", true));
  ASSERT_TRUE(reg_.WriteString("v", "1"));
  Registry other;
  ASSERT_TRUE(other.OpenKey(Key("One\\Two"), false));
  EXPECT_EQ(other.ReadString("v"), "1");
  EXPECT_TRUE(other.KeyExists(Key("One") + "\\"));
}

TEST_F(RegistryTest, DeleteValueRemovesOnlyThatValue) {
  ASSERT_TRUE(reg_.OpenKey(Key("K"), true));
  ASSERT_TRUE(reg_.WriteString("a", "1"));
  ASSERT_TRUE(reg_.WriteString("b", "2"));
  EXPECT_TRUE(reg_.DeleteValue("A"));
  EXPECT_FALSE(reg_.ValueExists("a"));
  EXPECT_EQ(reg_.ReadString("b"), "2");
  EXPECT_FALSE(reg_.DeleteValue("a"));
  EXPECT_EQ(reg_.ValueNames(), std::vector<std::string>{"b"});
}

TEST_F(RegistryTest, DefaultValueHasTheEmptyName) {
  ASSERT_TRUE(reg_.OpenKey(Key("K"), true));
  EXPECT_FALSE(reg_.ValueExists(""));
  ASSERT_TRUE(reg_.WriteString("", "default"));
  ASSERT_TRUE(reg_.WriteString("named", "other"));
  EXPECT_EQ(reg_.ReadString(""), "default");
  EXPECT_EQ(reg_.ReadString("named"), "other");
  auto names = reg_.ValueNames();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"", "named"}));
  EXPECT_TRUE(reg_.DeleteValue(""));
  EXPECT_FALSE(reg_.ValueExists(""));
  EXPECT_EQ(reg_.ReadString("named"), "other");
}

TEST_F(RegistryTest, DeleteKeyTakesTheSubtreeAndNothingElse) {
  ASSERT_TRUE(reg_.OpenKey(Key("Key\\Sub\\Deep"), true));
  ASSERT_TRUE(reg_.WriteString("deep", "1"));
  ASSERT_TRUE(reg_.OpenKey(Key("Key"), true));
  ASSERT_TRUE(reg_.WriteString("top", "1"));
  // Siblings whose names start like the deleted key, or sort right after its subtree.
  for (const char* sibling : {"KeyX", "Key2", "Key]", "Key[", "Ke"}) {
    ASSERT_TRUE(reg_.OpenKey(Key(sibling), true)) << sibling;
    ASSERT_TRUE(reg_.WriteString("keep", sibling));
  }
  reg_.CloseKey();

  EXPECT_TRUE(reg_.DeleteKey(Key("KEY")));
  EXPECT_FALSE(reg_.KeyExists(Key("Key")));
  EXPECT_FALSE(reg_.KeyExists(Key("Key\\Sub")));
  EXPECT_FALSE(reg_.KeyExists(Key("Key\\Sub\\Deep")));
  for (const char* sibling : {"KeyX", "Key2", "Key]", "Key[", "Ke"}) {
    ASSERT_TRUE(reg_.OpenKey(Key(sibling), false)) << sibling;
    EXPECT_EQ(reg_.ReadString("keep"), sibling);
  }
  // Recreated, the key starts empty: its old values went with it.
  ASSERT_TRUE(reg_.OpenKey(Key("Key\\Sub\\Deep"), true));
  EXPECT_FALSE(reg_.ValueExists("deep"));
  ASSERT_TRUE(reg_.OpenKey(Key("Key"), false));
  EXPECT_FALSE(reg_.ValueExists("top"));
}

TEST_F(RegistryTest, DeleteKeyRefusesTheRootAndMissingKeys) {
  EXPECT_FALSE(reg_.DeleteKey(""));
  EXPECT_FALSE(reg_.DeleteKey("\\"));
  EXPECT_FALSE(reg_.DeleteKey(Key("Missing")));
  EXPECT_TRUE(reg_.KeyExists("Software"));
}

TEST_F(RegistryTest, UnknownRootMakesEveryCallFail) {
  ASSERT_TRUE(reg_.OpenKey(Key("K"), true));
  ASSERT_TRUE(reg_.WriteString("v", "1"));
  reg_.SetRoot(0x80000009u);
  EXPECT_EQ(reg_.Root(), 0x80000009u);
  EXPECT_FALSE(reg_.HasOpenKey());
  EXPECT_FALSE(reg_.OpenKey(Key("K"), false));
  EXPECT_FALSE(reg_.OpenKey(Key("K"), true));
  EXPECT_FALSE(reg_.KeyExists(Key("K")));
  EXPECT_FALSE(reg_.DeleteKey(Key("K")));
  EXPECT_FALSE(reg_.ReadString("v"));
  reg_.SetRoot(kHkeyCurrentUser);
  ASSERT_TRUE(reg_.OpenKey(Key("K"), false));
  EXPECT_EQ(reg_.ReadString("v"), "1");
}

TEST_F(RegistryTest, RootsAreSeparate) {
  ASSERT_TRUE(reg_.OpenKey(Key("K"), true));
  Registry users;
  users.SetRoot(kHkeyUsers);
  EXPECT_FALSE(users.KeyExists(Key("K")));
}

TEST_F(RegistryTest, SetRootClosesTheKey) {
  ASSERT_TRUE(reg_.OpenKey(Key("K"), true));
  reg_.SetRoot(kHkeyCurrentUser);
  EXPECT_FALSE(reg_.HasOpenKey());
  EXPECT_FALSE(reg_.WriteString("v", "1"));
}

TEST_F(RegistryTest, ChangesAreSeenByAnotherAccessor) {
  Registry writer, reader;
  ASSERT_TRUE(writer.OpenKey(Key("Shared"), true));
  ASSERT_TRUE(reader.OpenKey(Key("Shared"), false));
  ASSERT_TRUE(writer.WriteString("v", "first"));
  EXPECT_EQ(reader.ReadString("v"), "first");
  ASSERT_TRUE(writer.WriteString("v", "second"));
  EXPECT_EQ(reader.ReadString("v"), "second");
  ASSERT_TRUE(writer.DeleteValue("v"));
  EXPECT_FALSE(reader.ValueExists("v"));
}

TEST_F(RegistryTest, WritingToADeletedKeyFails) {
  ASSERT_TRUE(reg_.OpenKey(Key("Gone"), true));
  Registry other;
  ASSERT_TRUE(other.DeleteKey(Key("Gone")));
  EXPECT_FALSE(reg_.WriteString("v", "1"));
  EXPECT_FALSE(other.KeyExists(Key("Gone")));
}

}  // namespace
}  // namespace zq::platform
