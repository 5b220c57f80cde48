#include "platform/system.h"

#include <gtest/gtest.h>

namespace zq::platform {
namespace {

TEST(LocaleNames, CountryAndLanguageGiveTheirIdentifier) {
  EXPECT_EQ(LangIdFromLocaleName("en_US"), 0x0409);
  EXPECT_EQ(LangIdFromLocaleName("en_GB"), 0x0809);
  EXPECT_EQ(LangIdFromLocaleName("de_DE"), 0x0407);
  EXPECT_EQ(LangIdFromLocaleName("de_AT"), 0x0c07);
  EXPECT_EQ(LangIdFromLocaleName("de_CH"), 0x0807);
  EXPECT_EQ(LangIdFromLocaleName("fr_CA"), 0x0c0c);
  EXPECT_EQ(LangIdFromLocaleName("es_ES"), 0x0c0a);
  EXPECT_EQ(LangIdFromLocaleName("es_MX"), 0x080a);
  EXPECT_EQ(LangIdFromLocaleName("pt_BR"), 0x0416);
  EXPECT_EQ(LangIdFromLocaleName("pt_PT"), 0x0816);
  EXPECT_EQ(LangIdFromLocaleName("nl_BE"), 0x0813);
  EXPECT_EQ(LangIdFromLocaleName("ja_JP"), 0x0411);
  EXPECT_EQ(LangIdFromLocaleName("zh_CN"), 0x0804);
  EXPECT_EQ(LangIdFromLocaleName("zh_TW"), 0x0404);
  EXPECT_EQ(LangIdFromLocaleName("uk_UA"), 0x0422);
  EXPECT_EQ(LangIdFromLocaleName("nb_NO"), 0x0414);
}

TEST(LocaleNames, CodesetAndModifierAreIgnored) {
  EXPECT_EQ(LangIdFromLocaleName("de_AT.UTF-8"), 0x0c07);
  EXPECT_EQ(LangIdFromLocaleName("fr_BE@euro"), 0x080c);
  EXPECT_EQ(LangIdFromLocaleName("fr_CH.ISO-8859-1@euro"), 0x100c);
  EXPECT_EQ(LangIdFromLocaleName("ru_RU.utf8"), 0x0419);
}

TEST(LocaleNames, LanguageAloneGivesItsMainCountry) {
  EXPECT_EQ(LangIdFromLocaleName("de"), 0x0407);
  EXPECT_EQ(LangIdFromLocaleName("fr"), 0x040c);
  EXPECT_EQ(LangIdFromLocaleName("en.UTF-8"), 0x0409);
  EXPECT_EQ(LangIdFromLocaleName("sv"), 0x041d);
  // An unlisted country still tells the language.
  EXPECT_EQ(LangIdFromLocaleName("de_BE"), 0x0407);
}

TEST(LocaleNames, UnknownNamesGiveUsEnglish) {
  EXPECT_EQ(LangIdFromLocaleName("C"), 0x0409);
  EXPECT_EQ(LangIdFromLocaleName("C.UTF-8"), 0x0409);
  EXPECT_EQ(LangIdFromLocaleName("POSIX"), 0x0409);
  EXPECT_EQ(LangIdFromLocaleName(""), 0x0409);
  EXPECT_EQ(LangIdFromLocaleName("xx_YY"), 0x0409);
  EXPECT_EQ(LangIdFromLocaleName("_DE"), 0x0409);
}

TEST(LocaleNames, CaseOfTheNameDoesNotMatter) {
  EXPECT_EQ(LangIdFromLocaleName("DE_at"), 0x0c07);
  EXPECT_EQ(LangIdFromLocaleName("pt-pt"), 0x0816);
}

TEST(Ticks, SleepingAdvancesTheTickCount) {
  const std::uint32_t before = TickCountMs();
  SleepMs(60);
  const std::uint32_t elapsed = TickCountMs() - before;
  // The system tick is coarse (about 16 ms) on Windows.
  EXPECT_GE(elapsed, 40u);
  EXPECT_LT(elapsed, 60000u);
}

}  // namespace
}  // namespace zq::platform
