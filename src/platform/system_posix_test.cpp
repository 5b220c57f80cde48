#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "platform/system.h"

namespace zq::platform {
namespace {

// Sets the locale variables for one test and restores them after.
class LocaleEnv : public ::testing::Test {
 protected:
  static constexpr const char* kNames[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      const char* v = getenv(kNames[i]);
      saved_[i] = v ? std::optional<std::string>(v) : std::nullopt;
      unsetenv(kNames[i]);
    }
  }
  void TearDown() override {
    for (int i = 0; i < 3; ++i) {
      if (saved_[i]) setenv(kNames[i], saved_[i]->c_str(), 1);
      else unsetenv(kNames[i]);
    }
  }
  std::optional<std::string> saved_[3];
};

TEST_F(LocaleEnv, LcAllComesFirst) {
  setenv("LANG", "fr_FR.UTF-8", 1);
  setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
  setenv("LC_ALL", "ja_JP.UTF-8", 1);
  EXPECT_EQ(SystemDefaultLangId(), 0x0411);
}

TEST_F(LocaleEnv, ThenMessagesThenLang) {
  setenv("LANG", "fr_FR.UTF-8", 1);
  setenv("LC_MESSAGES", "de_AT.UTF-8", 1);
  setenv("LC_ALL", "", 1);  // empty counts as unset
  EXPECT_EQ(SystemDefaultLangId(), 0x0c07);
  unsetenv("LC_MESSAGES");
  EXPECT_EQ(SystemDefaultLangId(), 0x040c);
}

TEST_F(LocaleEnv, NothingSetIsUsEnglish) {
  EXPECT_EQ(SystemDefaultLangId(), 0x0409);
  setenv("LANG", "C.UTF-8", 1);
  EXPECT_EQ(SystemDefaultLangId(), 0x0409);
}

}  // namespace
}  // namespace zq::platform
